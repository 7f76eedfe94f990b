#include "engine/pe_resources.h"

#include <algorithm>
#include <array>

#include "engine/byte_view.h"

namespace kestrin {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kDirectoryHeaderSize = 16;
constexpr std::uint32_t kEntrySize = 8;
constexpr std::uint32_t kGroupHeaderSize = 6;
constexpr std::uint32_t kGroupEntrySize = 14;

// Bounds the work of one walk by the size of the resource section, so that directories shared by many
// parents or overlapping one another cost no more than a few passes over the section.
class WorkBudget {
 public:
  explicit WorkBudget(std::uint64_t sectionSize) : left_(4 * sectionSize + 4096) {}
  bool Spend(std::uint64_t units) {
    if (units > left_) {
      left_ = 0;
      return false;
    }
    left_ -= units;
    return true;
  }

 private:
  std::uint64_t left_;
};

struct Entry {
  std::uint32_t name;
  std::uint32_t target;
};

Entry EntryAt(const PeImage& image, const PeImage::Directory& directory, std::uint32_t i) {
  std::uint64_t at = directory.first + std::uint64_t{kEntrySize} * i;
  return {*image.ResourceU32(at), *image.ResourceU32(at + 4)};
}

// The stored text of a name entry: a 16-bit length, then that many UTF-16 code units from `first`.
struct NameText {
  std::uint64_t first;
  std::uint16_t length;
};

std::optional<NameText> TextOf(const PeImage& image, std::uint32_t nameField) {
  std::uint64_t at = nameField & ~kHighBit;
  auto length = image.ResourceU16(at);
  if (!length || !image.ResourceFits(at + 2, std::uint64_t{*length} * 2)) return std::nullopt;
  return NameText{at + 2, *length};
}

std::optional<GroupName> NameOf(const PeImage& image, std::uint32_t nameField) {
  if ((nameField & kHighBit) == 0) return GroupName(static_cast<std::uint16_t>(nameField & 0xFFFF));
  auto text = TextOf(image, nameField);
  if (!text) return std::nullopt;
  std::u16string name(text->length, u'\0');
  for (std::size_t i = 0; i < name.size(); ++i) name[i] = static_cast<char16_t>(*image.ResourceU16(text->first + 2 * i));
  return GroupName(std::move(name));
}

bool NameMatches(const PeImage& image, std::uint32_t nameField, const GroupName& wanted, WorkBudget& budget) {
  if (const auto* number = std::get_if<std::uint16_t>(&wanted)) {
    return (nameField & kHighBit) == 0 && (nameField & 0xFFFF) == *number && nameField <= 0xFFFF;
  }
  if ((nameField & kHighBit) == 0) return false;
  const auto& text = std::get<std::u16string>(wanted);
  auto stored = TextOf(image, nameField);
  if (!stored || stored->length != text.size()) return false;
  if (!budget.Spend(text.size())) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (*image.ResourceU16(stored->first + 2 * i) != text[i]) return false;
  }
  return true;
}

// The subdirectory of `directoryOffset` whose entry is named `wanted`; the first match in stored order.
std::optional<std::uint32_t> FindSubdirectory(const PeImage& image, std::uint32_t directoryOffset,
                                              const GroupName& wanted, WorkBudget& budget) {
  auto directory = image.ReadDirectory(directoryOffset);
  if (!directory) return std::nullopt;
  for (std::uint32_t i = 0; i < directory->count; ++i) {
    if (!budget.Spend(1)) return std::nullopt;
    Entry entry = EntryAt(image, *directory, i);
    if ((entry.target & kHighBit) != 0 && NameMatches(image, entry.name, wanted, budget)) {
      return entry.target & ~kHighBit;
    }
  }
  return std::nullopt;
}

// The data entry of a language directory: `language` if present, else neutral, else the first stored.
// Entries that lead to a further directory are not data and are passed over.
std::optional<std::uint32_t> ChooseLanguage(const PeImage& image, std::uint32_t languageDirectory,
                                            std::optional<std::uint16_t> language, std::uint16_t& found,
                                            WorkBudget& budget) {
  auto directory = image.ReadDirectory(languageDirectory);
  if (!directory) return std::nullopt;
  std::optional<Entry> wanted, neutral, first;
  for (std::uint32_t i = 0; i < directory->count; ++i) {
    if (!budget.Spend(1)) return std::nullopt;
    Entry entry = EntryAt(image, *directory, i);
    if ((entry.target & kHighBit) != 0 || (entry.name & kHighBit) != 0) continue;
    if (!first) first = entry;
    if (!neutral && entry.name == kLanguageNeutral) neutral = entry;
    if (language && entry.name == *language) {
      wanted = entry;
      break;
    }
  }
  std::optional<Entry> chosen = wanted ? wanted : neutral ? neutral : first;
  if (!chosen) return std::nullopt;
  found = static_cast<std::uint16_t>(chosen->name);
  return chosen->target;
}

std::optional<std::uint32_t> TypeDirectory(const PeImage& image, std::uint16_t type, WorkBudget& budget) {
  return FindSubdirectory(image, 0, GroupName(type), budget);
}

// Icon resources by number, so that each member of a group is found without a new pass over all icons.
std::vector<std::pair<std::uint16_t, std::uint32_t>> IconIndex(const PeImage& image, WorkBudget& budget) {
  std::vector<std::pair<std::uint16_t, std::uint32_t>> index;
  auto icons = TypeDirectory(image, kResourceTypeIcon, budget);
  if (!icons) return index;
  auto directory = image.ReadDirectory(*icons);
  if (!directory || !budget.Spend(directory->count)) return index;
  index.reserve(directory->count);
  for (std::uint32_t i = 0; i < directory->count; ++i) {
    Entry entry = EntryAt(image, *directory, i);
    if ((entry.name & kHighBit) == 0 && entry.name <= 0xFFFF && (entry.target & kHighBit) != 0) {
      index.emplace_back(static_cast<std::uint16_t>(entry.name), entry.target & ~kHighBit);
    }
  }
  // Stored in ascending order in every well-formed image; otherwise a stable sort, so that of two entries
  // with one number the first stored is found.
  auto byNumber = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (!std::is_sorted(index.begin(), index.end(), byNumber)) std::stable_sort(index.begin(), index.end(), byNumber);
  return index;
}

}  // namespace

class PeImage::BlockCache {
 public:
  static constexpr std::uint64_t kBlockSize = 4096;
  static constexpr std::size_t kBlocks = 16;

  explicit BlockCache(const ByteSource& source) : source_(source) {}

  bool Read(std::uint64_t offset, std::span<std::byte> out) {
    if (!source_.Fits(offset, out.size())) return false;
    std::size_t done = 0;
    while (done < out.size()) {
      std::uint64_t position = offset + done;
      const Block* block = Load(position / kBlockSize);
      if (block == nullptr) return false;
      std::size_t into = static_cast<std::size_t>(position % kBlockSize);
      std::size_t take = std::min(out.size() - done, block->valid - into);
      std::copy_n(block->bytes.begin() + static_cast<std::ptrdiff_t>(into), take, out.begin() + done);
      done += take;
    }
    return true;
  }

 private:
  struct Block {
    std::uint64_t index = ~std::uint64_t{0};
    std::size_t valid = 0;
    std::array<std::byte, kBlockSize> bytes{};
  };

  const Block* Load(std::uint64_t index) {
    for (const Block& block : blocks_) {
      if (block.index == index) return &block;
    }
    if (blocks_.size() < kBlocks) blocks_.emplace_back();
    Block& block = blocks_[next_];
    next_ = (next_ + 1) % kBlocks;
    std::uint64_t start = index * kBlockSize;
    block.index = ~std::uint64_t{0};
    block.valid = static_cast<std::size_t>(std::min(kBlockSize, source_.Size() - start));
    if (!source_.ReadAt(start, std::span(block.bytes).first(block.valid))) return nullptr;
    block.index = index;
    return &block;
  }

  const ByteSource& source_;
  std::vector<Block> blocks_;
  std::size_t next_ = 0;
};

PeImage::PeImage() = default;
PeImage::PeImage(PeImage&&) noexcept = default;
PeImage& PeImage::operator=(PeImage&&) noexcept = default;
PeImage::~PeImage() = default;

bool PeImage::ReadSmall(std::uint64_t offset, std::span<std::byte> out) const { return cache_->Read(offset, out); }

std::optional<std::uint16_t> PeImage::FileU16(std::uint64_t offset) const {
  std::array<std::byte, 2> b{};
  if (!ReadSmall(offset, b)) return std::nullopt;
  return ByteView(b).U16(0);
}

std::optional<std::uint32_t> PeImage::FileU32(std::uint64_t offset) const {
  std::array<std::byte, 4> b{};
  if (!ReadSmall(offset, b)) return std::nullopt;
  return ByteView(b).U32(0);
}

std::optional<std::uint16_t> PeImage::ResourceU16(std::uint64_t offset) const {
  if (!ResourceFits(offset, 2)) return std::nullopt;
  return FileU16(resources_.offset + offset);
}

std::optional<std::uint32_t> PeImage::ResourceU32(std::uint64_t offset) const {
  if (!ResourceFits(offset, 4)) return std::nullopt;
  return FileU32(resources_.offset + offset);
}

std::optional<PeImage> PeImage::Parse(std::span<const std::byte> file) {
  auto owned = std::make_unique<MemorySource>(file);
  auto image = Parse(*owned);
  if (image) image->owned_ = std::move(owned);
  return image;
}

std::optional<PeImage> PeImage::Parse(const ByteSource& source) {
  PeImage image;
  image.source_ = &source;
  image.cache_ = std::make_unique<BlockCache>(source);
  if (image.FileU16(0) != 0x5A4D) return std::nullopt;  // "MZ"
  auto peOffset = image.FileU32(0x3C);
  if (!peOffset || image.FileU32(*peOffset) != 0x00004550u) return std::nullopt;  // "PE\0\0"
  std::uint64_t coff = std::uint64_t{*peOffset} + 4;
  auto sectionCount = image.FileU16(coff + 2);
  auto optionalSize = image.FileU16(coff + 16);
  if (!sectionCount || !optionalSize) return std::nullopt;
  std::uint64_t optional = coff + 20;
  auto magic = image.FileU16(optional);
  if (!magic) return std::nullopt;
  std::uint32_t directoriesAt = 0;
  if (*magic == 0x10B) {
    directoriesAt = 96;  // PE32
  } else if (*magic == 0x20B) {
    directoriesAt = 112;  // PE32+
  } else {
    return std::nullopt;
  }
  std::uint64_t sectionTable = optional + *optionalSize;
  if (!source.Fits(sectionTable, std::uint64_t{*sectionCount} * 40)) return std::nullopt;

  image.sections_.reserve(*sectionCount);
  for (std::uint32_t i = 0; i < *sectionCount; ++i) {
    std::uint64_t at = sectionTable + 40u * i;
    std::uint32_t virtualSize = *image.FileU32(at + 8);
    std::uint32_t rawSize = *image.FileU32(at + 16);
    // The loader maps no more of the raw data than the section's virtual size.
    std::uint32_t mapped = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
    image.sections_.push_back({*image.FileU32(at + 12), mapped, *image.FileU32(at + 20)});
  }

  // Data directory 2 holds the resources; an image without it has none.
  auto rvaCount = image.FileU32(optional + directoriesAt - 4);
  if (rvaCount && *rvaCount > 2 && std::uint64_t{directoriesAt} + 3 * 8 <= *optionalSize) {
    auto rva = image.FileU32(optional + directoriesAt + 2 * 8);
    if (rva && *rva != 0) {
      if (auto section = image.MapRvaToSectionEnd(*rva)) image.resources_ = *section;
    }
  }
  return image;
}

std::optional<PeImage::Range> PeImage::MapRvaToSectionEnd(std::uint32_t rva) const {
  for (const Section& section : sections_) {
    if (rva < section.virtualAddress) continue;
    std::uint64_t into = std::uint64_t{rva} - section.virtualAddress;
    if (into >= section.mappedSize) continue;
    // A section whose raw data runs past the end of the file is backed only as far as the file goes.
    if (section.rawOffset > source_->Size()) continue;
    std::uint64_t backed = std::min<std::uint64_t>(section.mappedSize, source_->Size() - section.rawOffset);
    if (into >= backed) continue;
    return Range{section.rawOffset + into, backed - into};
  }
  return std::nullopt;
}

std::optional<PeImage::Range> PeImage::MapRva(std::uint32_t rva, std::uint32_t size) const {
  auto rest = MapRvaToSectionEnd(rva);
  if (!rest || size > rest->size) return std::nullopt;
  return Range{rest->offset, size};
}

std::optional<PeImage::Directory> PeImage::ReadDirectory(std::uint32_t offset) const {
  auto named = ResourceU16(std::uint64_t{offset} + 12);
  auto numbered = ResourceU16(std::uint64_t{offset} + 14);
  if (!named || !numbered) return std::nullopt;
  Directory directory{offset + kDirectoryHeaderSize, std::uint32_t{*named} + *numbered};
  if (!ResourceFits(directory.first, std::uint64_t{directory.count} * kEntrySize)) return std::nullopt;
  return directory;
}

std::optional<PeImage::Range> PeImage::DataOf(std::uint32_t offset) const {
  auto rva = ResourceU32(offset);
  auto size = ResourceU32(std::uint64_t{offset} + 4);
  if (!rva || !size) return std::nullopt;
  return MapRva(*rva, *size);
}

bool PeImage::Read(const Range& range, std::vector<std::byte>& out) const {
  if (!source_->Fits(range.offset, range.size)) return false;
  out.resize(static_cast<std::size_t>(range.size));
  return source_->ReadAt(range.offset, out);
}

void CountIconGroups(const PeImage& module, GroupEnumeration& record) {
  record.runningCount = 0;
  WorkBudget budget(module.ResourcesSize());
  auto names = TypeDirectory(module, kResourceTypeGroupIcon, budget);
  if (!names) return;
  auto directory = module.ReadDirectory(*names);
  if (!directory) return;
  for (std::uint32_t i = 0; i < directory->count; ++i) {
    Entry entry = EntryAt(module, *directory, i);
    // A text name that lies outside the section names nothing and is not counted.
    if ((entry.name & kHighBit) != 0 && !TextOf(module, entry.name)) continue;
    ++record.runningCount;
    if (record.runningCount == record.wantedIndex) record.chosenName = NameOf(module, entry.name);
  }
}

std::optional<IconSet> LoadIconGroup(const PeImage& module, const std::optional<GroupName>& name,
                                     std::string_view modulePath) {
  if (!name) return std::nullopt;
  WorkBudget budget(module.ResourcesSize());
  auto groups = TypeDirectory(module, kResourceTypeGroupIcon, budget);
  if (!groups) return std::nullopt;
  auto languages = FindSubdirectory(module, *groups, *name, budget);
  if (!languages) return std::nullopt;
  std::uint16_t groupLanguage = kLanguageNeutral;
  auto groupEntry = ChooseLanguage(module, *languages, std::nullopt, groupLanguage, budget);
  if (!groupEntry) return std::nullopt;
  auto groupRange = module.DataOf(*groupEntry);
  std::vector<std::byte> groupBytes;
  if (!groupRange || !module.Read(*groupRange, groupBytes)) return std::nullopt;

  ByteView group(groupBytes);
  auto memberCount = group.U16(4);
  if (!memberCount || !group.Fits(kGroupHeaderSize, std::uint64_t{kGroupEntrySize} * *memberCount)) {
    return std::nullopt;  // too short for the entries it claims
  }

  // Find every member before copying anything; together they may not claim more than the file holds.
  auto index = IconIndex(module, budget);
  std::vector<PeImage::Range> members;
  members.reserve(*memberCount);
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < *memberCount; ++i) {
    std::uint16_t id = *group.U16(kGroupHeaderSize + kGroupEntrySize * i + 12);
    auto found = std::lower_bound(index.begin(), index.end(), id,
                                  [](const auto& item, std::uint16_t value) { return item.first < value; });
    if (found == index.end() || found->first != id) return std::nullopt;
    std::uint16_t language = kLanguageNeutral;
    auto dataEntry = ChooseLanguage(module, found->second, groupLanguage, language, budget);
    if (!dataEntry) return std::nullopt;
    auto range = module.DataOf(*dataEntry);
    if (!range) return std::nullopt;
    total += range->size;
    if (total > module.FileSize()) return std::nullopt;
    members.push_back(*range);
  }

  IconSet set;
  set.moduleFileName = std::string(modulePath);
  set.imageCount = *memberCount;
  set.images.resize(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    IconImage& image = set.images[i];
    if (!module.Read(members[i], image.bytes)) return std::nullopt;
    image.byteCount = static_cast<std::uint32_t>(image.bytes.size());
    DeriveImageGeometry(image);
  }
  return set;
}

}  // namespace kestrin
