#pragma once
// One icon with all of its images in memory, and the icon file format (.ico) that holds it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

// One image of an icon. Usually a device-independent bitmap without file header (a 40-byte
// BITMAPINFOHEADER, palette, colour bits, mask bits); images may also be stored as PNG. The bytes are
// kept exactly as read; the engine never decodes pixels.
struct IconImage {
  std::int32_t width = 0;          // biWidth (PNG: IHDR width)
  std::int32_t height = 0;         // biHeight / 2 (PNG: IHDR height)
  std::uint32_t bitsPerPixel = 0;  // biPlanes x biBitCount (PNG: bit depth x channels)
  std::vector<std::byte> bytes;
  std::uint32_t byteCount = 0;
  // Positions in `bytes`, derived from the header's claims alone (they may lie past the end).
  std::int64_t header = 0;
  std::int64_t colourBits = 0;
  std::int64_t maskBits = 0;
};

struct IconSet {
  std::string iconFileName;    // the icon file the set was read from; empty for a set from an executable
  std::string moduleFileName;  // the executable the set was loaded from; empty for a set from an icon file
  std::uint32_t imageCount = 0;
  std::vector<IconImage> images;
};

// How an image is stored, judged from its own bytes.
enum class ImageForm {
  Bitmap,  // starts with a complete 40-byte bitmap information header
  Png,     // PNG signature followed by a complete IHDR chunk header
  Opaque,  // anything else (too short for a header): carried through untouched
};
ImageForm FormOf(std::span<const std::byte> image);

// Header-derived numbers of a bitmap information header (at least 40 bytes).
std::uint16_t PaletteEntryCount(std::span<const std::byte> header);
std::int32_t RowByteCount(std::span<const std::byte> header);

// Sets width, height, bitsPerPixel, header, colourBits and maskBits from `bytes`.
void DeriveImageGeometry(IconImage& image);

// Position of image i in a written file: 6 + 16 x imageCount + the sizes of the images before it.
std::uint32_t ImageOffset(const IconSet& set, std::uint32_t i);

// Parses the bytes of an icon file; nothing when they are not a complete icon file.
std::optional<IconSet> ParseIconFile(std::span<const std::byte> file, std::string_view path);
// The bytes of an icon file holding `set` (biSizeImage of bitmap images written as 0).
std::vector<std::byte> SerializeIconFile(const IconSet& set);

// Reads the icon file at `path` (UTF-8), opened for exclusive use. Nothing when it can't be read.
std::optional<IconSet> ReadIconFile(std::string_view path);
// Creates or replaces the file at `path` with `set`. Reports nothing: a destination that can't be created
// is left as it was.
void WriteIconFile(const IconSet& set, std::string_view path);
// Releases a set and its images' bytes; nothing for no set.
void FreeIconSet(std::optional<IconSet>& set);

}  // namespace kestrin
