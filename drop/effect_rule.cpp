#include "drop/effect_rule.h"

namespace kestrin {

DropDecision ApplyEffectRule(std::uint32_t keyState, std::uint32_t allowedEffects, bool acceptable) {
  if (!acceptable) {
    return {};
  }
  const bool control = (keyState & kKeyControl) != 0;
  const bool shift = (keyState & kKeyShift) != 0;

  std::uint32_t effect = kEffectNone;
  if (control || shift) {
    if (control && shift) {
      effect = kEffectNone;  // a link request is never granted
    } else {
      const std::uint32_t requested = control ? kEffectCopy : kEffectMove;
      effect = (allowedEffects & requested) != 0 ? requested : kEffectNone;
    }
  } else if ((allowedEffects & kEffectCopy) != 0) {
    effect = kEffectCopy;
  } else if ((allowedEffects & kEffectMove) != 0) {
    effect = kEffectMove;
  } else if ((allowedEffects & kEffectLink) != 0) {
    effect = kEffectLink;
  }
  return {effect, effect != kEffectNone};
}

}  // namespace kestrin
