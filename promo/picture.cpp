#include "promo/picture.h"

#include <new>

#include "promo/jpeg_decoder.h"

namespace kestrin {
namespace {

// Writes the decoder's rows into the bitmap: top row last, red-green-blue turned round.
class DibSink final : public JpegRowSink {
public:
  explicit DibSink(Picture& picture) : picture_(picture) {}

  bool Begin(std::uint32_t width, std::uint32_t height, int components) noexcept override {
    if (width == 0 || height == 0 || width > kPictureMaxSide || height > kPictureMaxSide ||
        (components != 1 && components != 3)) {
      return false;
    }
    const std::size_t stride = DibRowStride(width);
    if (stride > kPictureMaxBytes / height) {
      return false;
    }
    try {
      picture_.bits.assign(stride * height, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    picture_.width = static_cast<std::int32_t>(width);
    picture_.height = static_cast<std::int32_t>(height);
    picture_.rowStride = stride;
    components_ = components;
    return true;
  }

  void Row(std::uint32_t index, const std::uint8_t* samples) noexcept override {
    const std::size_t bottomUp = static_cast<std::size_t>(picture_.height) - 1 - index;
    std::uint8_t* out = picture_.bits.data() + bottomUp * picture_.rowStride;
    const auto width = static_cast<std::size_t>(picture_.width);
    if (components_ == 3) {
      for (std::size_t x = 0; x < width; ++x, samples += 3, out += 3) {
        out[0] = samples[2];
        out[1] = samples[1];
        out[2] = samples[0];
      }
    } else {
      for (std::size_t x = 0; x < width; ++x, ++samples, out += 3) {
        out[0] = out[1] = out[2] = *samples;
      }
    }
  }

private:
  Picture& picture_;
  int components_ = 0;
};

}  // namespace

std::optional<Picture> DecodePicture(std::span<const std::byte> bytes) {
  if (bytes.size() < 2 || bytes[0] != std::byte{0xFF} || bytes[1] != std::byte{0xD8}) {
    return std::nullopt;
  }
  Picture picture;
  DibSink sink(picture);
  if (!DecodeJpegRows(bytes, sink)) {
    return std::nullopt;
  }
  return picture;
}

}  // namespace kestrin
