#pragma once
// The rule that turns the keys held during a drag and the effects its source allows into the effect
// the drop target answers with. Portable: the values are those of the system's MK_* and DROPEFFECT_*
// constants, which the OLE side checks at compile time.

#include <cstdint>

namespace kestrin {

inline constexpr std::uint32_t kKeyShift = 0x4;    // MK_SHIFT
inline constexpr std::uint32_t kKeyControl = 0x8;  // MK_CONTROL

inline constexpr std::uint32_t kEffectNone = 0;  // DROPEFFECT_NONE
inline constexpr std::uint32_t kEffectCopy = 1;  // DROPEFFECT_COPY
inline constexpr std::uint32_t kEffectMove = 2;  // DROPEFFECT_MOVE
inline constexpr std::uint32_t kEffectLink = 4;  // DROPEFFECT_LINK

struct DropDecision {
  std::uint32_t effect = kEffectNone;  // written back to the system
  bool mayDrop = false;                // whether a drop may go ahead with it

  friend bool operator==(const DropDecision&, const DropDecision&) = default;
};

// keyState: the drag's key and button bits (only Ctrl and Shift count).
// allowedEffects: the effects the source allows (only copy, move and link count).
// acceptable: whether the dragged data holds something the target takes.
// Ctrl requests copy, Shift move, both together link, which is always refused; with no key the first
// allowed of copy, move and link is taken.
DropDecision ApplyEffectRule(std::uint32_t keyState, std::uint32_t allowedEffects, bool acceptable);

}  // namespace kestrin
