#include <gtest/gtest.h>

#include "engine/icon_file.h"
#include "engine_test_support.h"

namespace kestrin {
namespace {

using test::Bytes;
using test::U16At;
using test::U32At;

IconImage ImageOf(const Bytes& bytes) {
  IconImage image;
  image.bytes = bytes;
  image.byteCount = static_cast<std::uint32_t>(bytes.size());
  DeriveImageGeometry(image);
  return image;
}

IconSet SetOf(const std::vector<Bytes>& images) {
  IconSet set;
  set.imageCount = static_cast<std::uint32_t>(images.size());
  for (const Bytes& b : images) set.images.push_back(ImageOf(b));
  return set;
}

// Bytes of an image as a written file holds them: biSizeImage cleared.
Bytes Cleared(Bytes image) {
  for (int i = 20; i < 24; ++i) image[i] = std::byte{0};
  return image;
}

struct GeometryCase {
  const char* what;
  std::int32_t width, heightTwice;
  std::uint16_t planes, bitCount;
  std::uint32_t clrUsed;
  std::int32_t height;
  std::uint32_t bitsPerPixel;
  std::uint16_t paletteEntries;
  std::int32_t rowBytes;
  std::int64_t colourBits, maskBits;
};

TEST(IconGeometry, DerivesFromTheBitmapHeaderAlone) {
  const GeometryCase cases[] = {
      {"32x32 at 4 bits", 32, 64, 1, 4, 0, 32, 4, 16, 16, 104, 616},
      {"32x32 at 1 bit", 32, 64, 1, 1, 0, 32, 1, 2, 4, 48, 176},
      {"1x1 at 1 bit", 1, 2, 1, 1, 0, 1, 1, 2, 4, 48, 52},
      {"48x48 at 24 bits", 48, 96, 1, 24, 0, 48, 24, 0, 144, 40, 40 + 144 * 48},
      {"32-bit: no palette", 16, 32, 1, 32, 0, 16, 32, 0, 64, 40, 40 + 64 * 16},
      {"8-bit: 256 entries", 16, 32, 1, 8, 0, 16, 8, 256, 16, 40 + 1024, 40 + 1024 + 256},
      {"8-bit with biClrUsed", 16, 32, 1, 8, 20, 16, 8, 20, 16, 120, 120 + 256},
      {"24-bit with biClrUsed", 2, 4, 1, 24, 3, 2, 24, 3, 8, 52, 68},
      {"biClrUsed keeps its low 16 bits", 8, 16, 1, 4, 0x10002, 8, 4, 2, 4, 48, 80},
      {"palette size wraps at 16 bits", 8, 16, 1, 8, 0x4000, 8, 8, 0x4000, 8, 40, 104},
      {"odd height truncates toward zero", 4, -7, 1, 4, 0, -3, 4, 16, 4, 104, 92},
      {"two planes multiply", 8, 16, 2, 4, 0, 8, 8, 16, 8, 104, 168},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = test::BitmapImage(c.width, c.heightTwice, c.planes, c.bitCount, c.clrUsed);
    IconImage image = ImageOf(bytes);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.bitsPerPixel, c.bitsPerPixel);
    EXPECT_EQ(PaletteEntryCount(bytes), c.paletteEntries);
    EXPECT_EQ(RowByteCount(bytes), c.rowBytes);
    EXPECT_EQ(image.header, 0);
    EXPECT_EQ(image.colourBits, c.colourBits);
    EXPECT_EQ(image.maskBits, c.maskBits);
  }
}

TEST(IconGeometry, PngAndShortImagesAreNotReadAsBitmaps) {
  IconImage png = ImageOf(test::PngImage(256, 256, 8, 6));
  EXPECT_EQ(png.width, 256);
  EXPECT_EQ(png.height, 256);
  EXPECT_EQ(png.bitsPerPixel, 32u);
  EXPECT_EQ(FormOf(png.bytes), ImageForm::Png);

  Bytes shortImage = test::BitmapImage(16, 32, 1, 4, 0, 0);
  shortImage.resize(39);
  IconImage opaque = ImageOf(shortImage);
  EXPECT_EQ(FormOf(opaque.bytes), ImageForm::Opaque);
  EXPECT_EQ(opaque.width, 0);
  EXPECT_EQ(opaque.bitsPerPixel, 0u);
  EXPECT_EQ(FormOf(Bytes{}), ImageForm::Opaque);
}

TEST(IconFileWriting, LaysOutHeaderDirectoryAndImagesWithoutGaps) {
  Bytes first = test::BitmapImage(32, 64, 1, 4, 0, 744 - 40);
  Bytes second = test::BitmapImage(16, 32, 1, 4, 0, 296 - 40);
  IconSet set = SetOf({first, second});
  Bytes file = SerializeIconFile(set);

  ASSERT_EQ(file.size(), 1078u);
  EXPECT_EQ(U16At(file, 0), 0);
  EXPECT_EQ(U16At(file, 2), 1);
  EXPECT_EQ(U16At(file, 4), 2);
  EXPECT_EQ(ImageOffset(set, 0), 38u);
  EXPECT_EQ(ImageOffset(set, 1), 782u);
  EXPECT_EQ(U32At(file, 6 + 8), 744u);
  EXPECT_EQ(U32At(file, 6 + 12), 38u);
  EXPECT_EQ(U32At(file, 22 + 8), 296u);
  EXPECT_EQ(U32At(file, 22 + 12), 782u);
  EXPECT_EQ(Bytes(file.begin() + 38, file.begin() + 782), Cleared(first));
  EXPECT_EQ(Bytes(file.begin() + 782, file.end()), Cleared(second));
  // The set itself keeps its biSizeImage.
  EXPECT_EQ(set.images[0].bytes, first);
}

struct EntryCase {
  const char* what;
  Bytes image;
  std::uint8_t width, height, colourCount;
  std::uint16_t planes, bitCount;
};

TEST(IconFileWriting, DirectoryEntriesComeFromTheImagesThemselves) {
  Bytes shortImage = test::BitmapImage(16, 32, 1, 4, 0, 0);
  shortImage.resize(30);
  const EntryCase cases[] = {
      {"256 pixels give 0", test::BitmapImage(256, 512, 1, 32), 0, 0, 0, 1, 32},
      {"48x48", test::BitmapImage(48, 96, 1, 8), 48, 48, 0, 1, 8},
      {"4 bits: 16 colours", test::BitmapImage(32, 64, 1, 4), 32, 32, 16, 1, 4},
      {"1 bit: 2 colours", test::BitmapImage(32, 64, 1, 1), 32, 32, 2, 1, 1},
      {"no bits: 1 colour", test::BitmapImage(16, 32, 0, 0), 16, 16, 1, 0, 0},
      {"24 bits: 0", test::BitmapImage(16, 32, 1, 24), 16, 16, 0, 1, 24},
      {"planes times bits reach 8", test::BitmapImage(16, 32, 2, 4), 16, 16, 0, 2, 4},
      {"PNG: from its IHDR", test::PngImage(256, 256, 8, 6), 0, 0, 0, 1, 32},
      {"PNG grey and alpha", test::PngImage(64, 48, 16, 4), 64, 48, 0, 1, 32},
      {"PNG palette", test::PngImage(32, 32, 4, 3), 32, 32, 0, 1, 4},
      {"short image: zeros", shortImage, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = SerializeIconFile(SetOf({c.image}));
    EXPECT_EQ(std::to_integer<int>(file[6]), c.width);
    EXPECT_EQ(std::to_integer<int>(file[7]), c.height);
    EXPECT_EQ(std::to_integer<int>(file[8]), c.colourCount);
    EXPECT_EQ(std::to_integer<int>(file[9]), 0);
    EXPECT_EQ(U16At(file, 10), c.planes);
    EXPECT_EQ(U16At(file, 12), c.bitCount);
    EXPECT_EQ(U32At(file, 14), c.image.size());
  }
}

TEST(IconFileWriting, PngAndShortImagesGoOutByteForByte) {
  Bytes png = test::PngImage(256, 256, 8, 6);
  Bytes shortImage(24, std::byte{0x77});
  Bytes file = SerializeIconFile(SetOf({png, shortImage}));
  std::size_t first = 6 + 32;
  EXPECT_EQ(Bytes(file.begin() + first, file.begin() + first + png.size()), png);
  EXPECT_EQ(Bytes(file.begin() + first + png.size(), file.end()), shortImage);
}

TEST(IconFileWriting, AnEmptySetIsSixBytes) {
  EXPECT_EQ(SerializeIconFile(IconSet{}), (Bytes{std::byte{0}, std::byte{0}, std::byte{1}, std::byte{0},
                                                   std::byte{0}, std::byte{0}}));
}

TEST(IconFileReading, ReadsImagesByTheirOffsetsAndWritesThemPacked) {
  Bytes a = test::BitmapImage(16, 32, 1, 4, 0, 100, 1);
  Bytes b = test::BitmapImage(32, 64, 1, 8, 0, 60, 2);
  Bytes c = test::PngImage(256, 256, 8, 6);
  // Reverse order with a gap after the directory; the entries' own fields are nonsense.
  std::uint32_t base = 6 + 3 * 16 + 50;
  Bytes file = test::IconFile({a, b, c}, {base + static_cast<std::uint32_t>(c.size() + b.size()),
                                          base + static_cast<std::uint32_t>(c.size()), base});
  auto set = ParseIconFile(file, "in.ico");
  ASSERT_TRUE(set);
  EXPECT_EQ(set->iconFileName, "in.ico");
  EXPECT_EQ(set->moduleFileName, "");
  ASSERT_EQ(set->imageCount, 3u);
  EXPECT_EQ(set->images[0].bytes, a);
  EXPECT_EQ(set->images[1].bytes, b);
  EXPECT_EQ(set->images[2].bytes, c);
  EXPECT_EQ(set->images[1].width, 32);

  Bytes written = SerializeIconFile(*set);
  auto again = ParseIconFile(written, "out.ico");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->images[0].bytes, Cleared(a));
  EXPECT_EQ(again->images[1].bytes, Cleared(b));
  EXPECT_EQ(again->images[2].bytes, c);
  EXPECT_EQ(ImageOffset(*again, 0), 6u + 48u);
  EXPECT_EQ(SerializeIconFile(*again), written);
}

TEST(IconFileReading, ACountOfZeroIsAnEmptySet) {
  auto set = ParseIconFile(test::IconFile({}), "empty.ico");
  ASSERT_TRUE(set);
  EXPECT_EQ(set->imageCount, 0u);
  EXPECT_TRUE(set->images.empty());
}

TEST(IconFileReading, MalformedFilesReadAsNothing) {
  Bytes image = test::BitmapImage(16, 32, 1, 4);
  Bytes good = test::IconFile({image, image, image});
  auto patched = [&](std::size_t at, std::uint32_t value, int width) {
    Bytes copy = good;
    if (width == 2) test::PutU16At(copy, at, static_cast<std::uint16_t>(value));
    else test::PutU32At(copy, at, value);
    return copy;
  };
  Bytes many = test::IconFile({image});
  test::PutU16At(many, 4, 0xFFFF);  // 65535 entries claimed, one present
  Bytes repeated = test::IconFile(std::vector<Bytes>(40, image));
  for (int i = 0; i < 40; ++i) test::PutU32At(repeated, 6 + 16 * i + 12, 6 + 16 * 40);  // every entry: image 0
  repeated.resize(6 + 16 * 40 + image.size());

  const std::pair<const char*, Bytes> cases[] = {
      {"five bytes", Bytes(good.begin(), good.begin() + 5)},
      {"first value 1", patched(0, 1, 2)},
      {"cursor file", patched(2, 2, 2)},
      {"directory cut short", Bytes(good.begin(), good.begin() + 6 + 16 * 3 - 1)},
      {"last image past the end", Bytes(good.begin(), good.end() - 1)},
      {"offset at 2^31", patched(6 + 16 + 12, 0x80000000u, 4)},
      {"size of 0xFFFFFFFF", patched(6 + 8, 0xFFFFFFFFu, 4)},
      {"offset past the end", patched(6 + 12, static_cast<std::uint32_t>(good.size()) + 1, 4)},
      {"count larger than the directory", many},
      {"images claiming more than the file holds", repeated},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(ParseIconFile(bytes, "x.ico"));
  }
  EXPECT_TRUE(ParseIconFile(good, "x.ico"));
}

TEST(IconFiles, ReadAndWriteThroughTheFileSystem) {
  test::TempDir dir;
  Bytes image = test::BitmapImage(32, 64, 1, 4, 0, 700);
  test::WriteAll(dir.Path("in.ico"), test::IconFile({image}));
  auto set = ReadIconFile(dir.Path("in.ico"));
  ASSERT_TRUE(set);
  WriteIconFile(*set, dir.Path("out.ico"));
  Bytes written = test::ReadAll(dir.Path("out.ico"));
  EXPECT_EQ(written, SerializeIconFile(*set));
  EXPECT_EQ(Bytes(written.begin() + 22, written.end()), Cleared(image));

  EXPECT_FALSE(ReadIconFile(dir.Path("missing.ico")));
  EXPECT_FALSE(ReadIconFile(dir.Path("")));
  // A destination in a directory that doesn't exist is simply not written.
  WriteIconFile(*set, dir.Path("no/such/dir/out.ico"));
  EXPECT_FALSE(test::Exists(dir.Path("no/such/dir/out.ico")));
}

}  // namespace
}  // namespace kestrin
