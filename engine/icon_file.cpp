#include "engine/icon_file.h"

#include <algorithm>
#include <array>

#include "engine/byte_view.h"
#include "engine/file_io.h"

namespace kestrin {

namespace {

constexpr std::size_t kBitmapHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 6;
constexpr std::size_t kDirectoryEntrySize = 16;
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the IHDR chunk: length, type, width, height, bit depth, colour type.
constexpr std::size_t kPngIhdrEnd = 8 + 8 + 10;

struct DirectoryEntry {
  std::uint8_t width = 0;
  std::uint8_t height = 0;
  std::uint8_t colourCount = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
};

std::uint32_t PngChannels(std::uint8_t colourType) {
  switch (colourType) {
    case 0: return 1;  // grey
    case 2: return 3;  // RGB
    case 3: return 1;  // palette index
    case 4: return 2;  // grey and alpha
    case 6: return 4;  // RGBA
    default: return 0;
  }
}

DirectoryEntry EntryFor(const IconImage& image) {
  ByteView view(image.bytes);
  DirectoryEntry entry;
  switch (FormOf(image.bytes)) {
    case ImageForm::Bitmap: {
      entry.width = static_cast<std::uint8_t>(image.width);
      entry.height = static_cast<std::uint8_t>(image.height);
      entry.planes = *view.U16(12);
      entry.bitCount = *view.U16(14);
      std::uint32_t depth = std::uint32_t{entry.planes} * entry.bitCount;
      entry.colourCount = depth < 8 ? static_cast<std::uint8_t>(1u << depth) : 0;
      break;
    }
    case ImageForm::Png:
      entry.width = static_cast<std::uint8_t>(image.width);
      entry.height = static_cast<std::uint8_t>(image.height);
      entry.planes = 1;
      entry.bitCount = static_cast<std::uint16_t>(image.bitsPerPixel);
      break;
    case ImageForm::Opaque:
      break;
  }
  return entry;
}

void PutU16(std::vector<std::byte>& out, std::uint16_t value) {
  out.push_back(static_cast<std::byte>(value & 0xFF));
  out.push_back(static_cast<std::byte>(value >> 8));
}

void PutU32(std::vector<std::byte>& out, std::uint32_t value) {
  PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

ImageForm FormOf(std::span<const std::byte> image) {
  ByteView view(image);
  if (view.Fits(0, kPngSignature.size()) &&
      std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin(),
                 [](std::uint8_t a, std::byte b) { return a == static_cast<std::uint8_t>(b); })) {
    auto type = view.U32BigEndian(12);
    return view.Fits(0, kPngIhdrEnd) && type == 0x49484452u /* IHDR */ ? ImageForm::Png : ImageForm::Opaque;
  }
  return view.Fits(0, kBitmapHeaderSize) ? ImageForm::Bitmap : ImageForm::Opaque;
}

std::uint16_t PaletteEntryCount(std::span<const std::byte> header) {
  ByteView view(header);
  std::uint32_t used = view.U32(32).value_or(0);
  if (used != 0) return static_cast<std::uint16_t>(used & 0xFFFF);
  switch (view.U16(14).value_or(0)) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

std::int32_t RowByteCount(std::span<const std::byte> header) {
  ByteView view(header);
  // Signed 32-bit arithmetic that wraps instead of overflowing.
  std::int64_t bits = std::int64_t{view.U16(14).value_or(0)} * view.U16(12).value_or(0) * view.I32(4).value_or(0);
  auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(bits + 31)));
  return (wrapped >> 3) & ~3;
}

void DeriveImageGeometry(IconImage& image) {
  ByteView view(image.bytes);
  image.header = 0;
  image.width = 0;
  image.height = 0;
  image.bitsPerPixel = 0;
  image.colourBits = 0;
  image.maskBits = 0;
  switch (FormOf(image.bytes)) {
    case ImageForm::Bitmap: {
      image.width = *view.I32(4);
      image.height = *view.I32(8) / 2;
      image.bitsPerPixel = std::uint32_t{*view.U16(12)} * *view.U16(14);
      auto paletteBytes = static_cast<std::uint16_t>(4u * PaletteEntryCount(image.bytes));
      image.colourBits = image.header + *view.U32(0) + paletteBytes;
      image.maskBits = image.colourBits + std::int64_t{RowByteCount(image.bytes)} * image.height;
      break;
    }
    case ImageForm::Png:
      image.width = static_cast<std::int32_t>(*view.U32BigEndian(16));
      image.height = static_cast<std::int32_t>(*view.U32BigEndian(20));
      image.bitsPerPixel = std::uint32_t{*view.U8(24)} * PngChannels(*view.U8(25));
      break;
    case ImageForm::Opaque:
      break;
  }
}

std::uint32_t ImageOffset(const IconSet& set, std::uint32_t i) {
  std::uint32_t offset = static_cast<std::uint32_t>(kFileHeaderSize + kDirectoryEntrySize * set.imageCount);
  for (std::uint32_t k = 0; k < i && k < set.images.size(); ++k) offset += set.images[k].byteCount;
  return offset;
}

namespace {

// Reads the header, then the directory in one read, then each image straight into its own buffer.
std::optional<IconSet> ReadIconSet(const ByteSource& file, std::string_view path) {
  std::array<std::byte, kFileHeaderSize> head{};
  if (!file.ReadAt(0, head)) return std::nullopt;
  ByteView header(head);
  if (header.U16(0) != 0 || header.U16(2) != 1) return std::nullopt;
  std::uint16_t count = *header.U16(4);
  std::uint64_t directorySize = std::uint64_t{kDirectoryEntrySize} * count;
  if (!file.Fits(kFileHeaderSize, directorySize)) return std::nullopt;
  std::vector<std::byte> directoryBytes(static_cast<std::size_t>(directorySize));
  if (!file.ReadAt(kFileHeaderSize, directoryBytes)) return std::nullopt;
  ByteView directory(directoryBytes);

  // Check every entry against the file before allocating anything. The images together may not claim
  // more bytes than the file holds, however the entries overlap.
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t size = *directory.U32(kDirectoryEntrySize * i + 8);
    std::uint32_t offset = *directory.U32(kDirectoryEntrySize * i + 12);
    // The image is reached by a signed 32-bit move from the start of the file.
    if (offset > 0x7FFFFFFFu || !file.Fits(offset, size)) return std::nullopt;
    total += size;
    if (total > file.Size()) return std::nullopt;
  }

  IconSet set;
  set.iconFileName = std::string(path);
  set.imageCount = count;
  set.images.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    IconImage& image = set.images[i];
    image.bytes.resize(*directory.U32(kDirectoryEntrySize * i + 8));
    if (!file.ReadAt(*directory.U32(kDirectoryEntrySize * i + 12), image.bytes)) return std::nullopt;
    image.byteCount = static_cast<std::uint32_t>(image.bytes.size());
    DeriveImageGeometry(image);
  }
  return set;
}

}  // namespace

std::optional<IconSet> ParseIconFile(std::span<const std::byte> file, std::string_view path) {
  return ReadIconSet(MemorySource(file), path);
}

std::vector<std::byte> SerializeIconFile(const IconSet& set) {
  std::vector<std::byte> out;
  std::uint64_t total = kFileHeaderSize + kDirectoryEntrySize * set.images.size();
  for (const IconImage& image : set.images) total += image.bytes.size();
  out.reserve(static_cast<std::size_t>(total));

  PutU16(out, 0);
  PutU16(out, 1);
  PutU16(out, static_cast<std::uint16_t>(set.imageCount & 0xFFFF));
  std::uint32_t offset = static_cast<std::uint32_t>(kFileHeaderSize + kDirectoryEntrySize * set.imageCount);
  for (const IconImage& image : set.images) {
    DirectoryEntry entry = EntryFor(image);
    out.push_back(static_cast<std::byte>(entry.width));
    out.push_back(static_cast<std::byte>(entry.height));
    out.push_back(static_cast<std::byte>(entry.colourCount));
    out.push_back(std::byte{0});
    PutU16(out, entry.planes);
    PutU16(out, entry.bitCount);
    PutU32(out, image.byteCount);
    PutU32(out, offset);
    offset += image.byteCount;
  }
  for (const IconImage& image : set.images) {
    std::size_t start = out.size();
    out.insert(out.end(), image.bytes.begin(), image.bytes.end());
    // biSizeImage is written as 0; PNG and other images go out byte for byte.
    if (FormOf(image.bytes) == ImageForm::Bitmap) std::fill_n(out.begin() + start + 20, 4, std::byte{0});
  }
  return out;
}

std::optional<IconSet> ReadIconFile(std::string_view path) {
  auto file = SourceFile::Open(path);
  if (!file) return std::nullopt;
  return ReadIconSet(*file, path);
}

void WriteIconFile(const IconSet& set, std::string_view path) {
  WriteWholeFile(path, SerializeIconFile(set));
}

void FreeIconSet(std::optional<IconSet>& set) { set.reset(); }

}  // namespace kestrin
