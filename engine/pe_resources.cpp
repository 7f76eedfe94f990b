#include "engine/pe_resources.h"

#include <algorithm>

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
  explicit WorkBudget(std::size_t sectionSize) : left_(4 * static_cast<std::uint64_t>(sectionSize) + 4096) {}
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
  const ByteView& section = image.Resources();
  std::uint32_t at = directory.first + kEntrySize * i;
  return {*section.U32(at), *section.U32(at + 4)};
}

// The stored text of a name entry: a 16-bit length and that many UTF-16 code units.
std::optional<std::span<const std::byte>> NameText(const PeImage& image, std::uint32_t nameField) {
  const ByteView& section = image.Resources();
  std::uint32_t at = nameField & ~kHighBit;
  auto length = section.U16(at);
  if (!length) return std::nullopt;
  return section.Sub(std::uint64_t{at} + 2, std::uint64_t{*length} * 2);
}

std::optional<GroupName> NameOf(const PeImage& image, std::uint32_t nameField) {
  if ((nameField & kHighBit) == 0) return GroupName(static_cast<std::uint16_t>(nameField & 0xFFFF));
  auto text = NameText(image, nameField);
  if (!text) return std::nullopt;
  ByteView view(*text);
  std::u16string name(text->size() / 2, u'\0');
  for (std::size_t i = 0; i < name.size(); ++i) name[i] = static_cast<char16_t>(*view.U16(2 * i));
  return GroupName(std::move(name));
}

bool NameMatches(const PeImage& image, std::uint32_t nameField, const GroupName& wanted, WorkBudget& budget) {
  if (const auto* number = std::get_if<std::uint16_t>(&wanted)) {
    return (nameField & kHighBit) == 0 && (nameField & 0xFFFF) == *number && nameField <= 0xFFFF;
  }
  if ((nameField & kHighBit) == 0) return false;
  const auto& text = std::get<std::u16string>(wanted);
  auto stored = NameText(image, nameField);
  if (!stored || stored->size() != text.size() * 2) return false;
  if (!budget.Spend(text.size())) return false;
  ByteView view(*stored);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (*view.U16(2 * i) != text[i]) return false;
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

std::optional<PeImage> PeImage::Parse(std::span<const std::byte> file) {
  ByteView view(file);
  if (view.U16(0) != 0x5A4D) return std::nullopt;  // "MZ"
  auto peOffset = view.U32(0x3C);
  if (!peOffset || view.U32(*peOffset) != 0x00004550u) return std::nullopt;  // "PE\0\0"
  std::uint64_t coff = std::uint64_t{*peOffset} + 4;
  auto sectionCount = view.U16(coff + 2);
  auto optionalSize = view.U16(coff + 16);
  if (!sectionCount || !optionalSize) return std::nullopt;
  std::uint64_t optional = coff + 20;
  auto magic = view.U16(optional);
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
  if (!view.Fits(sectionTable, std::uint64_t{*sectionCount} * 40)) return std::nullopt;

  PeImage image;
  image.file_ = view;
  image.sections_.reserve(*sectionCount);
  for (std::uint32_t i = 0; i < *sectionCount; ++i) {
    std::uint64_t at = sectionTable + 40u * i;
    std::uint32_t virtualSize = *view.U32(at + 8);
    std::uint32_t rawSize = *view.U32(at + 16);
    // The loader maps no more of the raw data than the section's virtual size.
    std::uint32_t mapped = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
    image.sections_.push_back({*view.U32(at + 12), mapped, *view.U32(at + 20)});
  }

  // Data directory 2 holds the resources; an image without it has none.
  auto rvaCount = view.U32(optional + directoriesAt - 4);
  if (rvaCount && *rvaCount > 2 && std::uint64_t{directoriesAt} + 3 * 8 <= *optionalSize) {
    auto rva = view.U32(optional + directoriesAt + 2 * 8);
    if (rva && *rva != 0) {
      if (auto section = image.MapRvaToSectionEnd(*rva)) image.resources_ = ByteView(*section);
    }
  }
  return image;
}

std::optional<std::span<const std::byte>> PeImage::MapRvaToSectionEnd(std::uint32_t rva) const {
  for (const Section& section : sections_) {
    if (rva < section.virtualAddress) continue;
    std::uint64_t into = std::uint64_t{rva} - section.virtualAddress;
    if (into >= section.mappedSize) continue;
    auto raw = file_.Sub(section.rawOffset, section.mappedSize);
    if (!raw) {
      // A section whose raw data runs past the end of the file is backed only as far as the file goes.
      if (section.rawOffset > file_.Size()) continue;
      raw = file_.Sub(section.rawOffset, file_.Size() - section.rawOffset);
    }
    if (into >= raw->size()) continue;
    return raw->subspan(static_cast<std::size_t>(into));
  }
  return std::nullopt;
}

std::optional<std::span<const std::byte>> PeImage::MapRva(std::uint32_t rva, std::uint32_t size) const {
  auto rest = MapRvaToSectionEnd(rva);
  if (!rest || size > rest->size()) return std::nullopt;
  return rest->first(size);
}

std::optional<PeImage::Directory> PeImage::ReadDirectory(std::uint32_t offset) const {
  auto named = resources_.U16(std::uint64_t{offset} + 12);
  auto numbered = resources_.U16(std::uint64_t{offset} + 14);
  if (!named || !numbered) return std::nullopt;
  Directory directory{offset + kDirectoryHeaderSize, std::uint32_t{*named} + *numbered};
  if (!resources_.Fits(directory.first, std::uint64_t{directory.count} * kEntrySize)) return std::nullopt;
  return directory;
}

std::optional<std::span<const std::byte>> PeImage::DataOf(std::uint32_t offset) const {
  auto rva = resources_.U32(offset);
  auto size = resources_.U32(std::uint64_t{offset} + 4);
  if (!rva || !size) return std::nullopt;
  return MapRva(*rva, *size);
}

void CountIconGroups(const PeImage& module, GroupEnumeration& record) {
  record.runningCount = 0;
  WorkBudget budget(module.Resources().Size());
  auto names = TypeDirectory(module, kResourceTypeGroupIcon, budget);
  if (!names) return;
  auto directory = module.ReadDirectory(*names);
  if (!directory) return;
  for (std::uint32_t i = 0; i < directory->count; ++i) {
    Entry entry = EntryAt(module, *directory, i);
    // A text name that lies outside the section names nothing and is not counted.
    if ((entry.name & kHighBit) != 0 && !NameText(module, entry.name)) continue;
    ++record.runningCount;
    if (record.runningCount == record.wantedIndex) record.chosenName = NameOf(module, entry.name);
  }
}

std::optional<IconSet> LoadIconGroup(const PeImage& module, const std::optional<GroupName>& name,
                                     std::string_view modulePath) {
  if (!name) return std::nullopt;
  WorkBudget budget(module.Resources().Size());
  auto groups = TypeDirectory(module, kResourceTypeGroupIcon, budget);
  if (!groups) return std::nullopt;
  auto languages = FindSubdirectory(module, *groups, *name, budget);
  if (!languages) return std::nullopt;
  std::uint16_t groupLanguage = kLanguageNeutral;
  auto groupEntry = ChooseLanguage(module, *languages, std::nullopt, groupLanguage, budget);
  if (!groupEntry) return std::nullopt;
  auto groupBytes = module.DataOf(*groupEntry);
  if (!groupBytes) return std::nullopt;

  ByteView group(*groupBytes);
  auto memberCount = group.U16(4);
  if (!memberCount || !group.Fits(kGroupHeaderSize, std::uint64_t{kGroupEntrySize} * *memberCount)) {
    return std::nullopt;  // too short for the entries it claims
  }

  // Find every member before copying anything; together they may not claim more than the file holds.
  auto index = IconIndex(module, budget);
  std::vector<std::span<const std::byte>> members;
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
    auto bytes = module.DataOf(*dataEntry);
    if (!bytes) return std::nullopt;
    total += bytes->size();
    if (total > module.FileSize()) return std::nullopt;
    members.push_back(*bytes);
  }

  IconSet set;
  set.moduleFileName = std::string(modulePath);
  set.imageCount = *memberCount;
  set.images.resize(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    IconImage& image = set.images[i];
    image.bytes.assign(members[i].begin(), members[i].end());
    image.byteCount = static_cast<std::uint32_t>(members[i].size());
    DeriveImageGeometry(image);
  }
  return set;
}

}  // namespace kestrin
