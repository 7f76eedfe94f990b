// The screenshots' decoding: JPEG bytes to a bottom-up 24-bit bitmap in blue-green-red order.
// Test pictures are encoded here with the system's libjpeg.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "promo/picture.h"

namespace kestrin {
namespace {

using Bytes = std::vector<std::byte>;
// Sample value of pixel (x, y), component c.
using SampleFunction = std::function<std::uint8_t(int x, int y, int c)>;

// Encodes a picture at quality 100 without chroma subsampling, so flat 8x8 blocks come back
// within a few levels of what went in.
Bytes Encode(int width, int height, int components, J_COLOR_SPACE space, const SampleFunction& sample) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width * components));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        row[static_cast<std::size_t>(x * components + c)] = sample(x, y, c);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes bytes(size);
  std::memcpy(bytes.data(), out, size);
  std::free(out);
  return bytes;
}

// 21 x 16: red above, blue below; 21 pixels make 63 bytes, so each row carries one byte of padding.
Bytes RedOverBlue() {
  return Encode(21, 16, 3, JCS_RGB, [](int, int y, int c) -> std::uint8_t {
    const int channel = y < 8 ? 0 : 2;
    return c == channel ? 255 : 0;
  });
}

// Offset of the size fields (height, then width) in the first start-of-frame segment.
std::size_t FrameSizeOffset(const Bytes& jpeg) {
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == std::byte{0xFF} && (jpeg[i + 1] == std::byte{0xC0} || jpeg[i + 1] == std::byte{0xC2})) {
      return i + 5;
    }
  }
  ADD_FAILURE() << "no start-of-frame marker";
  return 0;
}

std::array<int, 3> PixelAt(const Picture& picture, int dibRow, int x) {
  const std::uint8_t* p = picture.bits.data() + static_cast<std::size_t>(dibRow) * picture.rowStride +
                          static_cast<std::size_t>(x) * 3;
  return {p[0], p[1], p[2]};
}

void ExpectNear(std::array<int, 3> actual, std::array<int, 3> expected, const std::string& where) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(actual[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)], 8)
        << where << ", byte " << i;
  }
}

TEST(PictureDecoding, ColourPictureBecomesBottomUpBgrBitmapWithPaddedRows) {
  const auto picture = DecodePicture(RedOverBlue());
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 21);
  EXPECT_EQ(picture->height, 16);
  EXPECT_EQ(picture->rowStride, 64u);
  ASSERT_EQ(picture->bits.size(), 64u * 16u);
  for (int dibRow = 0; dibRow < 16; ++dibRow) {
    // The first bitmap rows are the picture's bottom (blue) rows: blue, green, red bytes.
    const std::array<int, 3> expected = dibRow < 8 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
    for (int x : {0, 10, 20}) {
      ExpectNear(PixelAt(*picture, dibRow, x), expected, "row " + std::to_string(dibRow) + " x " + std::to_string(x));
    }
    EXPECT_EQ(picture->bits[static_cast<std::size_t>(dibRow) * 64 + 63], 0) << "padding of row " << dibRow;
  }
}

TEST(PictureDecoding, GreyPictureIsSpreadToThreeEqualSamples) {
  // Top 8 rows 40, bottom 8 rows 200, 12 wide (36 bytes, no padding).
  const auto picture = DecodePicture(Encode(12, 16, 1, JCS_GRAYSCALE, [](int, int y, int) -> std::uint8_t {
    return y < 8 ? 40 : 200;
  }));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->rowStride, 36u);
  for (int dibRow : {0, 7, 8, 15}) {
    const int level = dibRow < 8 ? 200 : 40;
    for (int x : {0, 11}) {
      const auto pixel = PixelAt(*picture, dibRow, x);
      EXPECT_EQ(pixel[0], pixel[1]);
      EXPECT_EQ(pixel[1], pixel[2]);
      EXPECT_NEAR(pixel[0], level, 3) << "row " << dibRow;
    }
  }
}

TEST(PictureDecoding, DamagedTruncatedForeignOrOversizedDataGivesNothing) {
  const Bytes good = RedOverBlue();
  const std::size_t sizeAt = FrameSizeOffset(good);
  auto withFrameSize = [&](int height, int width) {
    Bytes b = good;
    b[sizeAt] = std::byte(height >> 8);
    b[sizeAt + 1] = std::byte(height & 0xFF);
    b[sizeAt + 2] = std::byte(width >> 8);
    b[sizeAt + 3] = std::byte(width & 0xFF);
    return b;
  };
  auto cut = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)); };
  auto png = Bytes{std::byte{0x89}, std::byte{'P'}, std::byte{'N'}, std::byte{'G'}};
  Bytes damagedMarker = good;
  damagedMarker[sizeAt - 4] = std::byte{0x01};  // start-of-frame marker no longer a marker
  const Bytes cmyk = Encode(8, 8, 4, JCS_CMYK, [](int, int, int) -> std::uint8_t { return 100; });

  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"signature only", cut(2)},
      {"not a JPEG", png},
      {"truncated in the header", cut(sizeAt + 2)},
      {"truncated in the scan", cut(good.size() / 2)},
      {"end marker missing", cut(good.size() - 2)},
      {"damaged marker", damagedMarker},
      {"zero height", withFrameSize(0, 21)},
      {"side above the limit", withFrameSize(16, 9000)},
      {"bitmap above the limit", withFrameSize(8000, 8000)},
      {"four components", cmyk},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(DecodePicture(c.bytes)) << c.what;
  }
}

}  // namespace
}  // namespace kestrin
