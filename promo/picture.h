#pragma once
// A screenshot decoded for painting: a bottom-up 24-bit device-independent bitmap in blue, green, red
// order, each row padded to a multiple of four bytes. Portable: no Windows header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrin {

struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::size_t rowStride = 0;       // bytes per row, a multiple of 4
  std::vector<std::uint8_t> bits;  // height * rowStride bytes, bottom row first
};

// Largest picture we decode: 8192 pixels a side and 32 MiB of bitmap, checked before allocating.
inline constexpr std::uint32_t kPictureMaxSide = 8192;
inline constexpr std::size_t kPictureMaxBytes = std::size_t{32} << 20;

// Bytes of one bitmap row of `width` pixels at 24 bits, padded to 4 bytes.
constexpr std::size_t DibRowStride(std::uint32_t width) {
  return (std::size_t{width} * 3 + 3) & ~std::size_t{3};
}

// A JPEG (first two bytes 0xFF 0xD8) turned into a bitmap; grey pictures get three equal samples.
// Nothing for other formats, damaged or truncated data, or a picture above the limits.
std::optional<Picture> DecodePicture(std::span<const std::byte> bytes);

}  // namespace kestrin
