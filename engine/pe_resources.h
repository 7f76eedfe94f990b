#pragma once
// Icon groups of Portable Executable images (PE32 and PE32+), read straight from the file's resource
// directory: type -> name -> language. Nothing of the image is ever run or loaded.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/file_io.h"
#include "engine/icon_file.h"

namespace kestrin {

// A resource name: a 16-bit number or a text (UTF-16 code units as stored).
using GroupName = std::variant<std::uint16_t, std::u16string>;

constexpr std::uint16_t kResourceTypeIcon = 3;        // RT_ICON
constexpr std::uint16_t kResourceTypeGroupIcon = 14;  // RT_GROUP_ICON
constexpr std::uint16_t kLanguageNeutral = 0;

class PeImage {
 public:
  // Checks the MZ and PE headers and finds the resource directory; nothing when the bytes are not an
  // executable image. An image without resources parses, and has no icon groups. The source must
  // outlive the image; the bytes of the second form are held by the image.
  static std::optional<PeImage> Parse(const ByteSource& source);
  static std::optional<PeImage> Parse(std::span<const std::byte> file);

  std::uint64_t FileSize() const { return source_->Size(); }
  std::uint64_t ResourcesSize() const { return resources_.size; }

  // Little-endian reads at offsets in the resource section; nothing when they don't fit in it.
  std::optional<std::uint16_t> ResourceU16(std::uint64_t offset) const;
  std::optional<std::uint32_t> ResourceU32(std::uint64_t offset) const;
  bool ResourceFits(std::uint64_t offset, std::uint64_t count) const {
    return offset <= resources_.size && count <= resources_.size - offset;
  }

  // A resource directory's entries: `count` entries of 8 bytes from `first`, all inside the section.
  struct Directory {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };
  std::optional<Directory> ReadDirectory(std::uint32_t offset) const;

  // A stretch of the file.
  struct Range {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
  };
  // The bytes that a data entry (at `offset` in the section) describes; nothing when they are not all
  // backed by the file.
  std::optional<Range> DataOf(std::uint32_t offset) const;
  // Reads a range of the file into `out`.
  bool Read(const Range& range, std::vector<std::byte>& out) const;

  PeImage(PeImage&&) noexcept;
  PeImage& operator=(PeImage&&) noexcept;
  ~PeImage();

 private:
  struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t mappedSize;  // bytes backed by the file: raw data only, never the virtual tail
    std::uint32_t rawOffset;
  };
  // Small reads (headers, directory entries, names) go through a few cached blocks of the file.
  class BlockCache;

  PeImage();
  std::optional<Range> MapRva(std::uint32_t rva, std::uint32_t size) const;
  std::optional<Range> MapRvaToSectionEnd(std::uint32_t rva) const;
  bool ReadSmall(std::uint64_t offset, std::span<std::byte> out) const;
  std::optional<std::uint16_t> FileU16(std::uint64_t offset) const;
  std::optional<std::uint32_t> FileU32(std::uint64_t offset) const;

  std::unique_ptr<ByteSource> owned_;
  const ByteSource* source_ = nullptr;
  std::unique_ptr<BlockCache> cache_;
  Range resources_;  // from the resource directory's start to the end of its section's raw data
  std::vector<Section> sections_;
};

// The counting walk's record: the rank wanted, the running count of groups and the chosen name.
struct GroupEnumeration {
  std::int32_t wantedIndex = 1;
  std::int32_t runningCount = 0;
  std::optional<GroupName> chosenName;
};

// Counts the icon groups of `module` in stored order (text names, then numbers; a name with several
// languages once), noting the name of rank `wantedIndex`. The count is 0 when there are none.
void CountIconGroups(const PeImage& module, GroupEnumeration& record);

// Loads the group `name` with all its member images, copied. Group and members are taken in one
// language: the group's for its members where present, else neutral, else the first stored. Nothing
// when the group or any member can't be found, or the group is too short for its entries.
std::optional<IconSet> LoadIconGroup(const PeImage& module, const std::optional<GroupName>& name,
                                     std::string_view modulePath);

}  // namespace kestrin
