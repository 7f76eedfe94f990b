#pragma once
// Building blocks of the engine tests: fixture paths, temporary directories, bitmap images, icon files
// and small Portable Executable images with hand-made resource trees.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestrin::test {

using Bytes = std::vector<std::byte>;

// A file made at build time from tests/fixtures (icon files, resource-only libraries).
std::string FixturePath(const std::string& name);
// Wine's own copy of a library, built for 32-bit (PE32) or 64-bit (PE32+) Windows.
std::string WineLibraryPath(const std::string& name, bool wide);

Bytes ReadAll(const std::string& path);
void WriteAll(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& name) const;

 private:
  std::filesystem::path dir_;
};

// A bitmap-form icon image: BITMAPINFOHEADER, then `extra` bytes of palette, colour and mask data.
Bytes BitmapImage(std::int32_t width, std::int32_t heightTwice, std::uint16_t planes, std::uint16_t bitCount,
                  std::uint32_t clrUsed = 0, std::size_t extra = 64, std::uint8_t fill = 0x5A);
// A PNG signature and IHDR (bit depth, colour type), then a few bytes standing for the rest.
Bytes PngImage(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colourType);

// An icon file with the images placed at `offsets` (default: packed after the directory).
Bytes IconFile(const std::vector<Bytes>& images, std::vector<std::uint32_t> offsets = {});

std::uint16_t U16At(const Bytes& bytes, std::size_t at);
std::uint32_t U32At(const Bytes& bytes, std::size_t at);
void PutU16At(Bytes& bytes, std::size_t at, std::uint16_t value);
void PutU32At(Bytes& bytes, std::size_t at, std::uint32_t value);

// A resource of a hand-made tree.
struct Resource {
  std::uint16_t type;
  std::variant<std::uint16_t, std::u16string> name;
  std::uint16_t language;
  Bytes data;
};

// Where the pieces of a built resource section lie (offsets in the section).
struct ResourceLayout {
  std::vector<std::uint32_t> nameDirectories;      // one per type, in order of first appearance
  std::vector<std::uint32_t> languageDirectories;  // one per (type, name), in order
  std::vector<std::uint32_t> dataEntries;          // one per resource, in the order given
};

constexpr std::uint32_t kSectionRva = 0x1000;

// A resource section for `resources` (grouped by type, then name, in the order given).
Bytes ResourceSection(const std::vector<Resource>& resources, ResourceLayout* layout = nullptr);
// A PE32 (or PE32+) image whose only section is `section` at kSectionRva.
Bytes PeImageBytes(const Bytes& section, bool pe32plus = false, std::uint32_t virtualSize = 0);
constexpr std::size_t kSectionFileOffset = 0x200;

// A group-icon resource naming `members`.
Bytes GroupData(const std::vector<std::uint16_t>& members);

}  // namespace kestrin::test
