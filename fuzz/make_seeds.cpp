// Writes the fuzz targets' seed corpora at run time, so that no binary is kept in the repository:
//   fuzz_seeds ICON_DIR EXECUTABLE_DIR [WINE_DIR...]
// ICON_DIR gets a few icon files made here (bitmaps of several depths, a PNG image, an image too short
// for a header, images stored out of order behind a gap, an empty icon) and the first icon group of
// each executable taken below, written as an icon file. EXECUTABLE_DIR gets a small PE32 image made
// here (a text-named group, numbered groups, a group in two languages, a shared member, a group of no
// members) and, from each WINE_DIR, the smallest executables that hold icon groups: whole, and reduced
// to their headers and resource section.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/byte_view.h"
#include "engine/icon_file.h"
#include "engine/pe_resources.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::byte>;

// Whole executables larger than the executable target's input limit are only used reduced.
constexpr std::uintmax_t kLargestWholeSeed = 1024 * 1024;
constexpr std::size_t kExecutablesPerDirectory = 4;
// Icon files are kept within the icon target's input limit.
constexpr std::size_t kLargestIconSeed = 64 * 1024;

void Put8(Bytes& out, std::uint32_t value) { out.push_back(static_cast<std::byte>(value & 0xFF)); }
void Put16(Bytes& out, std::uint32_t value) {
  Put8(out, value);
  Put8(out, value >> 8);
}
void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void Put32BigEndian(Bytes& out, std::uint32_t value) {
  Put8(out, value >> 24);
  Put8(out, value >> 16);
  Put8(out, value >> 8);
  Put8(out, value);
}
void Set32(Bytes& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}
void PadTo(Bytes& out, std::size_t size) {
  if (out.size() < size) out.resize(size, std::byte{0});
}

bool WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::optional<Bytes> ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<char> chars((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Bytes bytes(chars.size());
  std::transform(chars.begin(), chars.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

// ---- Images -------------------------------------------------------------------------------------

// A bitmap-form icon image: header, palette, colour rows and mask rows, filled with a pattern.
Bytes BitmapImage(std::int32_t width, std::int32_t height, std::uint16_t bitCount, std::uint32_t clrUsed = 0) {
  std::uint32_t palette = clrUsed != 0 ? clrUsed : bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
  std::uint32_t colourRow = ((static_cast<std::uint32_t>(width) * bitCount + 31) / 32) * 4;
  std::uint32_t maskRow = ((static_cast<std::uint32_t>(width) + 31) / 32) * 4;
  std::uint32_t bits = (colourRow + maskRow) * static_cast<std::uint32_t>(height);
  Bytes out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height * 2));
  Put16(out, 1);
  Put16(out, bitCount);
  Put32(out, 0);     // BI_RGB
  Put32(out, bits);  // biSizeImage
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, clrUsed);
  Put32(out, 0);
  for (std::uint32_t i = 0; i < palette * 4 + bits; ++i) Put8(out, (i * 37 + bitCount) & 0xFF);
  return out;
}

std::uint32_t Crc32(const Bytes& bytes, std::size_t from, std::size_t to) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < to; ++i) {
    crc ^= std::to_integer<std::uint32_t>(bytes[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutChunk(Bytes& out, const char (&type)[5], const Bytes& data) {
  Put32BigEndian(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out.size();
  for (int i = 0; i < 4; ++i) Put8(out, static_cast<unsigned char>(type[i]));
  out.insert(out.end(), data.begin(), data.end());
  Put32BigEndian(out, Crc32(out, start, out.size()));
}

// A PNG-form image: signature, IHDR and IEND (the engine carries it without decoding it).
Bytes PngImage(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colourType) {
  Bytes out;
  for (std::uint32_t c : {0x89u, 0x50u, 0x4Eu, 0x47u, 0x0Du, 0x0Au, 0x1Au, 0x0Au}) Put8(out, c);
  Bytes header;
  Put32BigEndian(header, width);
  Put32BigEndian(header, height);
  Put8(header, depth);
  Put8(header, colourType);
  Put8(header, 0);
  Put8(header, 0);
  Put8(header, 0);
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IEND", {});
  return out;
}

// ---- Icon files ---------------------------------------------------------------------------------

// An icon file holding `images` in directory order; their bytes are stored in `storage` order, the
// first of them `gap` bytes after the directory. Directory entry fields other than size and offset
// are deliberately wrong: the reader takes them from the images.
Bytes IconFile(const std::vector<Bytes>& images, const std::vector<std::size_t>& storage, std::size_t gap) {
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::size_t directory = out.size();
  PadTo(out, directory + 16 * images.size() + gap);
  for (std::size_t i : storage) {
    std::size_t entry = directory + 16 * i;
    out[entry] = std::byte{7};
    out[entry + 1] = std::byte{9};
    Set32(out, entry + 8, static_cast<std::uint32_t>(images[i].size()));
    Set32(out, entry + 12, static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), images[i].begin(), images[i].end());
  }
  return out;
}

Bytes InOrder(const std::vector<Bytes>& images) {
  std::vector<std::size_t> order(images.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  return IconFile(images, order, 0);
}

// ---- A resource section -------------------------------------------------------------------------

using Name = std::variant<std::uint16_t, std::u16string>;

struct ResourceNode {
  // A directory (children) or, at the language level, data.
  std::vector<std::pair<Name, std::unique_ptr<ResourceNode>>> children;
  Bytes data;
};

ResourceNode& Child(ResourceNode& parent, Name name) {
  for (auto& [existing, node] : parent.children) {
    if (existing == name) return *node;
  }
  parent.children.emplace_back(std::move(name), std::make_unique<ResourceNode>());
  return *parent.children.back().second;
}

void AddResource(ResourceNode& root, std::uint16_t type, const Name& name, std::uint16_t language, Bytes data) {
  Child(Child(Child(root, type), name), language).data = std::move(data);
}

// The stored order: text names first (in the order given here), then numbers ascending.
void SortEntries(ResourceNode& node) {
  std::stable_sort(node.children.begin(), node.children.end(), [](const auto& a, const auto& b) {
    if (a.first.index() != b.first.index()) return a.first.index() > b.first.index();
    if (a.first.index() == 0) return std::get<0>(a.first) < std::get<0>(b.first);
    return false;
  });
  for (auto& child : node.children) SortEntries(*child.second);
}

// Lays out directories, then name texts, then data entries, then data, as a section at `rva`.
Bytes ResourceSection(ResourceNode& root, std::uint32_t rva) {
  SortEntries(root);
  std::vector<ResourceNode*> directories{&root};
  for (std::size_t i = 0; i < directories.size(); ++i) {
    for (auto& child : directories[i]->children) {
      if (!child.second->children.empty()) directories.push_back(child.second.get());
    }
  }
  // Offsets of every directory, text and data entry.
  std::vector<std::uint32_t> directoryAt;
  std::uint32_t at = 0;
  for (ResourceNode* node : directories) {
    directoryAt.push_back(at);
    at += 16 + 8 * static_cast<std::uint32_t>(node->children.size());
  }
  auto directoryOffset = [&](const ResourceNode* node) {
    return directoryAt[std::find(directories.begin(), directories.end(), node) - directories.begin()];
  };
  std::vector<std::pair<const std::u16string*, std::uint32_t>> texts;
  std::vector<std::pair<const ResourceNode*, std::uint32_t>> leaves;
  for (ResourceNode* node : directories) {
    for (auto& child : node->children) {
      if (const auto* text = std::get_if<std::u16string>(&child.first)) {
        texts.emplace_back(text, at);
        at += 2 + 2 * static_cast<std::uint32_t>(text->size());
      }
    }
  }
  at = (at + 3) & ~3u;
  for (ResourceNode* node : directories) {
    for (auto& child : node->children) {
      if (child.second->children.empty()) {
        leaves.emplace_back(child.second.get(), at);
        at += 16;
      }
    }
  }

  Bytes out;
  for (ResourceNode* node : directories) {
    std::uint32_t named = 0;
    for (auto& child : node->children) named += child.first.index() == 1 ? 1 : 0;
    PadTo(out, out.size() + 12);
    Put16(out, named);
    Put16(out, static_cast<std::uint32_t>(node->children.size()) - named);
    for (auto& child : node->children) {
      if (const auto* text = std::get_if<std::u16string>(&child.first)) {
        auto found = std::find_if(texts.begin(), texts.end(), [&](const auto& t) { return t.first == text; });
        Put32(out, 0x80000000u | found->second);
      } else {
        Put32(out, std::get<std::uint16_t>(child.first));
      }
      if (child.second->children.empty()) {
        auto found = std::find_if(leaves.begin(), leaves.end(),
                                  [&](const auto& leaf) { return leaf.first == child.second.get(); });
        Put32(out, found->second);
      } else {
        Put32(out, 0x80000000u | directoryOffset(child.second.get()));
      }
    }
  }
  for (const auto& text : texts) {
    Put16(out, static_cast<std::uint32_t>(text.first->size()));
    for (char16_t unit : *text.first) Put16(out, unit);
  }
  PadTo(out, (out.size() + 3) & ~std::size_t{3});
  std::uint32_t dataAt = static_cast<std::uint32_t>(out.size() + 16 * leaves.size());
  for (const auto& leaf : leaves) {
    Put32(out, rva + dataAt);
    Put32(out, static_cast<std::uint32_t>(leaf.first->data.size()));
    Put32(out, 0);
    Put32(out, 0);
    dataAt = (dataAt + static_cast<std::uint32_t>(leaf.first->data.size()) + 3) & ~3u;
  }
  for (const auto& leaf : leaves) {
    out.insert(out.end(), leaf.first->data.begin(), leaf.first->data.end());
    PadTo(out, (out.size() + 3) & ~std::size_t{3});
  }
  return out;
}

Bytes GroupData(const std::vector<std::pair<std::uint16_t, const Bytes*>>& members) {
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(members.size()));
  for (const auto& [id, image] : members) {
    Put8(out, 32);
    Put8(out, 32);
    Put8(out, 0);
    Put8(out, 0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 1234);  // never used: the size comes from the icon resource
    Put16(out, id);
  }
  return out;
}

// A PE32 image with one section, .rsrc, holding `resources` at RVA 0x1000.
Bytes PortableExecutable(const Bytes& resources) {
  constexpr std::uint32_t kFileAlignment = 0x200;
  constexpr std::uint32_t kSectionRva = 0x1000;
  std::uint32_t rawSize = (static_cast<std::uint32_t>(resources.size()) + kFileAlignment - 1) & ~(kFileAlignment - 1);
  Bytes out;
  Put16(out, 0x5A4D);  // MZ
  PadTo(out, 0x3C);
  Put32(out, 0x40);
  Put32(out, 0x00004550);  // PE
  Put16(out, 0x14C);       // i386
  Put16(out, 1);           // sections
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put16(out, 224);     // optional header: 96 bytes and 16 data directories
  Put16(out, 0x2102);  // executable, 32-bit, DLL
  std::size_t optional = out.size();
  Put16(out, 0x10B);  // PE32
  PadTo(out, optional + 28);
  Put32(out, 0x10000000);  // image base
  Put32(out, 0x1000);      // section alignment
  Put32(out, kFileAlignment);
  PadTo(out, optional + 56);
  Put32(out, kSectionRva + ((rawSize + 0xFFF) & ~0xFFFu));  // size of image
  Put32(out, kFileAlignment);                               // size of headers
  PadTo(out, optional + 92);
  Put32(out, 16);
  PadTo(out, optional + 96 + 2 * 8);
  Put32(out, kSectionRva);
  Put32(out, static_cast<std::uint32_t>(resources.size()));
  PadTo(out, optional + 224);
  for (char c : {'.', 'r', 's', 'r', 'c', '\0', '\0', '\0'}) Put8(out, static_cast<unsigned char>(c));
  Put32(out, static_cast<std::uint32_t>(resources.size()));
  Put32(out, kSectionRva);
  Put32(out, rawSize);
  Put32(out, kFileAlignment);
  PadTo(out, out.size() + 12);
  Put32(out, 0x40000040);  // initialised data, readable
  PadTo(out, kFileAlignment);
  out.insert(out.end(), resources.begin(), resources.end());
  PadTo(out, kFileAlignment + rawSize);
  return out;
}

Bytes MadeExecutable() {
  Bytes small = BitmapImage(16, 16, 4);
  Bytes smallGerman = BitmapImage(16, 16, 1);
  Bytes large = BitmapImage(32, 32, 32);
  Bytes png = PngImage(256, 256, 8, 6);
  ResourceNode root;
  AddResource(root, 3, std::uint16_t{1}, 0x409, small);
  AddResource(root, 3, std::uint16_t{1}, 0x407, smallGerman);
  AddResource(root, 3, std::uint16_t{2}, 0x409, large);
  AddResource(root, 3, std::uint16_t{3}, 0x409, png);
  AddResource(root, 14, std::u16string(u"LOGO"), 0x409, GroupData({{1, &small}, {2, &large}}));
  AddResource(root, 14, std::uint16_t{5}, 0x409, GroupData({{2, &large}, {3, &png}}));
  AddResource(root, 14, std::uint16_t{1}, 0x409, GroupData({{1, &small}}));
  AddResource(root, 14, std::uint16_t{1}, 0x407, GroupData({{1, &smallGerman}}));
  AddResource(root, 14, std::uint16_t{7}, 0x409, GroupData({}));
  return PortableExecutable(ResourceSection(root, 0x1000));
}

// ---- Executables from Wine ----------------------------------------------------------------------

std::int32_t IconGroupCount(const Bytes& file) {
  auto image = kestrin::PeImage::Parse(file);
  if (!image) return 0;
  kestrin::GroupEnumeration record;
  kestrin::CountIconGroups(*image, record);
  return record.runningCount;
}

// The same image reduced to its headers and the one section that holds its resource directory,
// so that mutations land on what the reader looks at. Nothing when the layout is not understood.
std::optional<Bytes> ReducedToResources(const Bytes& file) {
  kestrin::ByteView view(file);
  auto peOffset = view.U32(0x3C);
  if (!peOffset) return std::nullopt;
  std::uint64_t coff = std::uint64_t{*peOffset} + 4;
  auto sectionCount = view.U16(coff + 2);
  auto optionalSize = view.U16(coff + 16);
  auto magic = view.U16(coff + 20);
  if (!sectionCount || !optionalSize || !magic) return std::nullopt;
  std::uint64_t directories = coff + 20 + (*magic == 0x20B ? 112 : 96);
  auto resourceRva = view.U32(directories + 2 * 8);
  if (!resourceRva) return std::nullopt;
  std::uint64_t sectionTable = coff + 20 + *optionalSize;
  for (std::uint32_t i = 0; i < *sectionCount; ++i) {
    std::uint64_t at = sectionTable + 40 * i;
    auto virtualSize = view.U32(at + 8);
    auto rva = view.U32(at + 12);
    auto rawSize = view.U32(at + 16);
    auto rawOffset = view.U32(at + 20);
    if (!virtualSize || !rva || !rawSize || !rawOffset) return std::nullopt;
    if (*resourceRva < *rva || *resourceRva - *rva >= std::max(*virtualSize, *rawSize)) continue;
    auto raw = view.Sub(*rawOffset, *rawSize);
    auto headers = view.Sub(0, sectionTable);
    if (!raw || !headers) return std::nullopt;
    Bytes out(headers->begin(), headers->end());
    out[static_cast<std::size_t>(coff) + 2] = std::byte{1};  // one section
    out[static_cast<std::size_t>(coff) + 3] = std::byte{0};
    auto entry = view.Sub(at, 40);
    out.insert(out.end(), entry->begin(), entry->end());
    std::size_t rawAt = (out.size() + 0x1FF) & ~std::size_t{0x1FF};
    Set32(out, out.size() - 40 + 20, static_cast<std::uint32_t>(rawAt));
    PadTo(out, rawAt);
    out.insert(out.end(), raw->begin(), raw->end());
    return out;
  }
  return std::nullopt;
}

// The first icon group of an executable as an icon file, keeping those of its images that fit in
// the icon target's input limit.
std::optional<Bytes> FirstGroupAsIconFile(const Bytes& file) {
  auto image = kestrin::PeImage::Parse(file);
  if (!image) return std::nullopt;
  kestrin::GroupEnumeration record;
  kestrin::CountIconGroups(*image, record);
  auto set = kestrin::LoadIconGroup(*image, record.chosenName, "seed");
  if (!set) return std::nullopt;
  std::vector<Bytes> kept;
  std::size_t size = 6;
  for (const kestrin::IconImage& member : set->images) {
    if (size + 16 + member.bytes.size() > kLargestIconSeed) continue;
    size += 16 + member.bytes.size();
    kept.push_back(member.bytes);
  }
  return InOrder(kept);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ICON_DIR EXECUTABLE_DIR [WINE_DIR...]\n", argv[0]);
    return 2;
  }
  fs::path icons = argv[1];
  fs::path executables = argv[2];
  std::error_code error;
  fs::create_directories(icons, error);
  fs::create_directories(executables, error);

  Bytes bits1 = BitmapImage(16, 16, 1);
  Bytes bits4 = BitmapImage(32, 32, 4);
  Bytes bits8 = BitmapImage(16, 16, 8, 20);
  Bytes bits24 = BitmapImage(24, 24, 24, 3);
  Bytes bits32 = BitmapImage(48, 48, 32);
  Bytes png = PngImage(256, 256, 8, 6);
  Bytes tooShort = {std::byte{40}, std::byte{0}, std::byte{0}, std::byte{0}, std::byte{16}};

  bool ok = true;
  ok &= WriteFile(icons / "empty.ico", InOrder({}));
  ok &= WriteFile(icons / "bitmaps.ico", InOrder({bits1, bits4, bits8, bits24, bits32}));
  ok &= WriteFile(icons / "png.ico", InOrder({png, bits32}));
  ok &= WriteFile(icons / "short.ico", InOrder({tooShort, bits1}));
  ok &= WriteFile(icons / "reversed.ico", IconFile({bits4, bits1, png}, {2, 1, 0}, 37));
  ok &= WriteFile(executables / "made.dll", MadeExecutable());

  // Wine's smallest executables with icon groups, from each directory given.
  for (int d = 3; d < argc; ++d) {
    std::vector<std::pair<std::uintmax_t, fs::path>> candidates;
    for (const auto& entry : fs::directory_iterator(argv[d], error)) {
      if (entry.is_regular_file(error)) candidates.emplace_back(entry.file_size(error), entry.path());
    }
    std::sort(candidates.begin(), candidates.end());
    std::size_t taken = 0;
    std::string prefix = fs::path(argv[d]).filename().string() + "-";
    for (const auto& [size, path] : candidates) {
      if (taken == kExecutablesPerDirectory) break;
      auto bytes = ReadFile(path);
      if (!bytes || IconGroupCount(*bytes) == 0) continue;
      ++taken;
      std::string name = prefix + path.filename().string();
      if (size <= kLargestWholeSeed) ok &= WriteFile(executables / name, *bytes);
      if (auto reduced = ReducedToResources(*bytes); reduced && IconGroupCount(*reduced) > 0) {
        ok &= WriteFile(executables / ("reduced-" + name), *reduced);
      }
      if (auto icon = FirstGroupAsIconFile(*bytes)) ok &= WriteFile(icons / (name + ".ico"), *icon);
    }
  }
  if (!ok) std::fprintf(stderr, "fuzz_seeds: could not write every seed\n");
  return ok ? 0 : 1;
}
