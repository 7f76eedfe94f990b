// The effect rule over every combination of held keys, allowed effects and the acceptable flag.

#include "drop/effect_rule.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace kestrin {
namespace {

constexpr std::uint32_t N = kEffectNone;
constexpr std::uint32_t C = kEffectCopy;
constexpr std::uint32_t M = kEffectMove;
constexpr std::uint32_t L = kEffectLink;

// Keys held: neither, Ctrl, Shift, Ctrl and Shift.
constexpr std::array<std::uint32_t, 4> kKeys = {0, kKeyControl, kKeyShift, kKeyControl | kKeyShift};

// Effect for an acceptable drag, by keys (row) and allowed set (column, the set's bits 0..7).
//                                                allowed: -  C  M  CM L  CL ML CML
constexpr std::array<std::array<std::uint32_t, 8>, 4> kExpected = {{
    /* no key      */ {N, C, M, C, L, C, M, C},
    /* Ctrl        */ {N, C, N, C, N, C, N, C},
    /* Shift       */ {N, N, M, M, N, N, M, M},
    /* Ctrl+Shift  */ {N, N, N, N, N, N, N, N},
}};

// Bits the rule must not look at: mouse buttons and Alt in the key state, scrolling and unknown
// bits in the allowed effects.
constexpr std::array<std::uint32_t, 4> kOtherKeyBits = {0, 0x1 /*MK_LBUTTON*/, 0x2 | 0x10 /*RBUTTON|MBUTTON*/,
                                                        0x20 /*MK_ALT*/};
constexpr std::array<std::uint32_t, 3> kOtherEffectBits = {0, 0x80000000u /*DROPEFFECT_SCROLL*/, 0x78};

TEST(EffectRule, EveryKeyAllowedSetAndAcceptableFlag) {
  for (std::size_t k = 0; k < kKeys.size(); ++k) {
    for (std::uint32_t allowed = 0; allowed < 8; ++allowed) {
      for (const std::uint32_t otherKeys : kOtherKeyBits) {
        for (const std::uint32_t otherEffects : kOtherEffectBits) {
          const std::uint32_t keyState = kKeys[k] | otherKeys;
          const std::uint32_t allowedEffects = allowed | otherEffects;
          SCOPED_TRACE(testing::Message() << "keys 0x" << std::hex << keyState << " allowed 0x" << allowedEffects);

          const DropDecision refused = ApplyEffectRule(keyState, allowedEffects, false);
          EXPECT_EQ(refused.effect, kEffectNone);
          EXPECT_FALSE(refused.mayDrop);

          const DropDecision accepted = ApplyEffectRule(keyState, allowedEffects, true);
          EXPECT_EQ(accepted.effect, kExpected[k][allowed]);
          EXPECT_EQ(accepted.mayDrop, kExpected[k][allowed] != kEffectNone);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kestrin
