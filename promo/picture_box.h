#pragma once
// The PicBox control type: a borderless box in the button-face colour showing its picture (the
// definition's data, a JPEG) unscaled at its top-left corner, cut off at the box's edges. The
// picture is decoded once, when the box is created; painting only copies the bitmap. A picture that
// does not decode leaves the box plain.

namespace kestrin {

// Registers "PicBox" with the window loader; harmless when it is registered already.
void RegisterPictureBoxType();

}  // namespace kestrin
