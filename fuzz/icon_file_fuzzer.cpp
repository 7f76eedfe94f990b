// Feeds arbitrary bytes to the icon file reader, writes every set it accepts back out and reads that
// again. Besides the sanitizers' findings, it checks what reading and writing promise each other:
// images are taken by their directory's size and offset, a written file has its images packed after
// the directory with entries recomputed from each image, reads back into the same images (bitmap
// images with biSizeImage cleared), and writes out again byte for byte the same.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/icon_file.h"
#include "fuzz/fuzz_check.h"

using kestrin::fuzz::Le16;
using kestrin::fuzz::Le32;

namespace {

constexpr std::size_t kFileHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;

// The directory entry a written file must hold for `image`, as its 16 bytes up to the size field.
void CheckEntry(std::span<const std::byte> entry, const kestrin::IconImage& image) {
  std::span<const std::byte> bytes(image.bytes);
  std::uint32_t width = std::to_integer<std::uint32_t>(entry[0]);
  std::uint32_t height = std::to_integer<std::uint32_t>(entry[1]);
  std::uint32_t colours = std::to_integer<std::uint32_t>(entry[2]);
  FUZZ_CHECK(entry[3] == std::byte{0});
  switch (kestrin::FormOf(bytes)) {
    case kestrin::ImageForm::Bitmap: {
      std::uint32_t planes = Le16(bytes, 12);
      std::uint32_t bitCount = Le16(bytes, 14);
      FUZZ_CHECK(Le16(entry, 4) == planes);
      FUZZ_CHECK(Le16(entry, 6) == bitCount);
      std::uint32_t depth = planes * bitCount;
      FUZZ_CHECK(colours == (depth < 8 ? (1u << depth) & 0xFF : 0u));
      FUZZ_CHECK(width == (static_cast<std::uint32_t>(image.width) & 0xFF));
      FUZZ_CHECK(height == (static_cast<std::uint32_t>(image.height) & 0xFF));
      break;
    }
    case kestrin::ImageForm::Png:
      FUZZ_CHECK(width == (static_cast<std::uint32_t>(image.width) & 0xFF));
      FUZZ_CHECK(height == (static_cast<std::uint32_t>(image.height) & 0xFF));
      FUZZ_CHECK(colours == 0);
      FUZZ_CHECK(Le16(entry, 4) == 1);
      FUZZ_CHECK(Le16(entry, 6) == (image.bitsPerPixel & 0xFFFF));
      break;
    case kestrin::ImageForm::Opaque:
      FUZZ_CHECK(width == 0 && height == 0 && colours == 0);
      FUZZ_CHECK(Le16(entry, 4) == 0 && Le16(entry, 6) == 0);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::byte> input(reinterpret_cast<const std::byte*>(data), size);
  auto set = kestrin::ParseIconFile(input, "fuzz.ico");
  if (!set) return 0;

  // Read: one image per directory entry, each exactly the bytes its entry names.
  FUZZ_CHECK(size >= kFileHeaderSize);
  std::uint32_t count = Le16(input, 4);
  FUZZ_CHECK(set->imageCount == count);
  FUZZ_CHECK(set->images.size() == count);
  FUZZ_CHECK(set->iconFileName == "fuzz.ico" && set->moduleFileName.empty());
  FUZZ_CHECK(size >= kFileHeaderSize + kEntrySize * count);
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const kestrin::IconImage& image = set->images[i];
    std::size_t entry = kFileHeaderSize + kEntrySize * i;
    std::uint32_t byteCount = Le32(input, entry + 8);
    std::uint32_t offset = Le32(input, entry + 12);
    FUZZ_CHECK(image.byteCount == byteCount && image.bytes.size() == byteCount);
    FUZZ_CHECK(std::uint64_t{offset} + byteCount <= size);
    FUZZ_CHECK(std::equal(image.bytes.begin(), image.bytes.end(), input.begin() + offset));
    FUZZ_CHECK(image.header == 0);
    total += byteCount;
  }

  // Write: header, recomputed entries, then the images packed in directory order.
  std::vector<std::byte> written = kestrin::SerializeIconFile(*set);
  std::span<const std::byte> out(written);
  std::uint64_t directoryEnd = kFileHeaderSize + kEntrySize * count;
  FUZZ_CHECK(written.size() == directoryEnd + total);
  FUZZ_CHECK(Le16(out, 0) == 0 && Le16(out, 2) == 1 && Le16(out, 4) == count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const kestrin::IconImage& image = set->images[i];
    auto entry = out.subspan(kFileHeaderSize + kEntrySize * i, kEntrySize);
    CheckEntry(entry, image);
    FUZZ_CHECK(Le32(entry, 8) == image.byteCount);
    FUZZ_CHECK(Le32(entry, 12) == kestrin::ImageOffset(*set, i));
  }

  // Read back: the same images, the same geometry, only biSizeImage of bitmap images cleared.
  auto again = kestrin::ParseIconFile(out, "again.ico");
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(again->imageCount == count && again->images.size() == count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const kestrin::IconImage& before = set->images[i];
    const kestrin::IconImage& after = again->images[i];
    FUZZ_CHECK(after.byteCount == before.byteCount);
    bool bitmap = kestrin::FormOf(before.bytes) == kestrin::ImageForm::Bitmap;
    FUZZ_CHECK(kestrin::FormOf(after.bytes) == kestrin::FormOf(before.bytes));
    for (std::size_t k = 0; k < before.bytes.size(); ++k) {
      bool cleared = bitmap && k >= 20 && k < 24;
      FUZZ_CHECK(after.bytes[k] == (cleared ? std::byte{0} : before.bytes[k]));
    }
    FUZZ_CHECK(after.width == before.width && after.height == before.height);
    FUZZ_CHECK(after.bitsPerPixel == before.bitsPerPixel);
    FUZZ_CHECK(after.colourBits == before.colourBits && after.maskBits == before.maskBits);
  }

  // Written again: a fixed point.
  FUZZ_CHECK(kestrin::SerializeIconFile(*again) == written);
  return 0;
}
