#pragma once
// libjpeg behind a small row interface. The decoder reads a JPEG from memory and hands its rows to a
// sink; every libjpeg error (and every warning, which for us means damaged data) ends the decode
// with false. Portable: no Windows header.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrin {

// Receives the decoded picture. Neither call may throw: they run between libjpeg calls whose error
// handler leaves by longjmp.
class JpegRowSink {
public:
  // Called once with the picture's size and its number of samples per pixel (1 grey, 3 red-green-blue)
  // before anything is allocated for the pixels; false refuses the picture.
  virtual bool Begin(std::uint32_t width, std::uint32_t height, int components) noexcept = 0;
  // Called for rows 0 to height - 1, top row first, with width * components samples.
  virtual void Row(std::uint32_t index, const std::uint8_t* samples) noexcept = 0;

protected:
  ~JpegRowSink() = default;
};

// Decodes a baseline or progressive JPEG with one (grey) or three (YCbCr or RGB) components into
// rows of grey or red-green-blue samples. True when every row was delivered.
bool DecodeJpegRows(std::span<const std::byte> bytes, JpegRowSink& sink) noexcept;

}  // namespace kestrin
