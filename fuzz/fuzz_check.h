#pragma once
// A failed property in a fuzz target: say which, then abort so that libFuzzer keeps the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);    \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)

namespace kestrin::fuzz {

// Little-endian reads of bytes the target itself produced or already bounds-checked.
inline std::uint32_t Le16(std::span<const std::byte> bytes, std::size_t at) {
  return std::to_integer<std::uint32_t>(bytes[at]) | std::to_integer<std::uint32_t>(bytes[at + 1]) << 8;
}

inline std::uint32_t Le32(std::span<const std::byte> bytes, std::size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

}  // namespace kestrin::fuzz
