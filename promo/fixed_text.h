#pragma once
// Texts joined from string literals at compile time, so that a text made of fixed parts (the
// statement line with its contact number, the ten-line descriptions) is itself a fixed text with
// static storage. Portable.

#include <cstddef>
#include <string_view>

namespace kestrin {

template <std::size_t Size>
struct FixedText {
  char chars[Size + 1] = {};
  constexpr std::string_view view() const { return {chars, Size}; }
};

// The parts one after the other, without their terminating nulls.
template <std::size_t... N>
consteval auto JoinLiterals(const char (&... parts)[N]) {
  FixedText<((N - 1) + ... + 0)> joined;
  std::size_t at = 0;
  auto append = [&](const char* part, std::size_t size) {
    for (std::size_t i = 0; i + 1 < size; ++i) joined.chars[at++] = part[i];
  };
  (append(parts, N), ...);
  joined.chars[at] = '\0';
  return joined;
}

}  // namespace kestrin
