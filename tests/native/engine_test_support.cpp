#include "engine_test_support.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace kestrin::test {

namespace {

std::string HostPath(const std::string& unixPath) {
#ifdef _WIN32
  return "Z:" + unixPath;  // Wine shows the Linux file system as drive Z:
#else
  return unixPath;
#endif
}

// Paths are UTF-8 throughout, also where the standard library would take the ANSI code page.
std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void Put(Bytes& out, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string FixturePath(const std::string& name) { return HostPath(std::string(KESTRIN_FIXTURE_DIR) + "/" + name); }

std::string WineLibraryPath(const std::string& name, bool wide) {
  return HostPath(wide ? "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/" + name
                       : "/usr/lib/i386-linux-gnu/wine/i386-windows/" + name);
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Bytes bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path) { return std::filesystem::exists(FsPath(path)); }

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    dir_ = base / ("kestrin-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(dir_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TempDir::Path(const std::string& name) const {
  std::u8string path = (dir_ / FsPath(name)).u8string();
  return std::string(path.begin(), path.end());
}

Bytes BitmapImage(std::int32_t width, std::int32_t heightTwice, std::uint16_t planes, std::uint16_t bitCount,
                  std::uint32_t clrUsed, std::size_t extra, std::uint8_t fill) {
  Bytes out;
  Put(out, 40, 4);
  Put(out, static_cast<std::uint32_t>(width), 4);
  Put(out, static_cast<std::uint32_t>(heightTwice), 4);
  Put(out, planes, 2);
  Put(out, bitCount, 2);
  Put(out, 0, 4);           // compression
  Put(out, 0xDEADBEEF, 4);  // biSizeImage: cleared on writing
  Put(out, 0, 8);           // resolution
  Put(out, clrUsed, 4);
  Put(out, 0, 4);
  for (std::size_t i = 0; i < extra; ++i) out.push_back(static_cast<std::byte>(fill + i));
  return out;
}

Bytes PngImage(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colourType) {
  Bytes out;
  for (int c : {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) out.push_back(static_cast<std::byte>(c));
  auto be32 = [&](std::uint32_t v) {
    for (int s : {24, 16, 8, 0}) out.push_back(static_cast<std::byte>((v >> s) & 0xFF));
  };
  be32(13);
  for (char c : std::string("IHDR")) out.push_back(static_cast<std::byte>(c));
  be32(width);
  be32(height);
  out.push_back(static_cast<std::byte>(depth));
  out.push_back(static_cast<std::byte>(colourType));
  // The bytes where a bitmap header's biSizeImage would be (20 to 23) are the IHDR height: they must
  // survive a round trip. Then compression, filter, interlace, CRC and a few data bytes.
  for (int i = 0; i < 3 + 4 + 12; ++i) out.push_back(static_cast<std::byte>(0x30 + i));
  return out;
}

Bytes IconFile(const std::vector<Bytes>& images, std::vector<std::uint32_t> offsets) {
  std::uint32_t next = static_cast<std::uint32_t>(6 + 16 * images.size());
  if (offsets.empty()) {
    for (const Bytes& image : images) {
      offsets.push_back(next);
      next += static_cast<std::uint32_t>(image.size());
    }
  }
  Bytes out;
  Put(out, 0, 2);
  Put(out, 1, 2);
  Put(out, images.size(), 2);
  for (std::size_t i = 0; i < images.size(); ++i) {
    Put(out, 0x11, 1);  // width, height, colour count: never read
    Put(out, 0x22, 1);
    Put(out, 0x33, 1);
    Put(out, 0, 1);
    Put(out, 7, 2);
    Put(out, 7, 2);
    Put(out, images[i].size(), 4);
    Put(out, offsets[i], 4);
  }
  for (std::size_t i = 0; i < images.size(); ++i) {
    if (out.size() < offsets[i] + images[i].size()) out.resize(offsets[i] + images[i].size());
    std::copy(images[i].begin(), images[i].end(), out.begin() + offsets[i]);
  }
  return out;
}

std::uint16_t U16At(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b.at(at)) | (std::to_integer<unsigned>(b.at(at + 1)) << 8));
}
std::uint32_t U32At(const Bytes& b, std::size_t at) { return U16At(b, at) | (std::uint32_t{U16At(b, at + 2)} << 16); }
void PutU16At(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::byte>(v & 0xFF);
  b.at(at + 1) = static_cast<std::byte>(v >> 8);
}
void PutU32At(Bytes& b, std::size_t at, std::uint32_t v) {
  PutU16At(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
  PutU16At(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

Bytes ResourceSection(const std::vector<Resource>& resources, ResourceLayout* layout) {
  using Name = std::variant<std::uint16_t, std::u16string>;
  // type -> names in order -> resource indexes
  std::vector<std::uint16_t> types;
  std::map<std::uint16_t, std::vector<Name>> names;
  std::map<std::pair<std::uint16_t, Name>, std::vector<std::size_t>> languages;
  for (std::size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    if (std::find(types.begin(), types.end(), r.type) == types.end()) types.push_back(r.type);
    auto& typeNames = names[r.type];
    if (std::find(typeNames.begin(), typeNames.end(), r.name) == typeNames.end()) typeNames.push_back(r.name);
    languages[{r.type, r.name}].push_back(i);
  }
  auto countNamed = [](const std::vector<Name>& list) {
    return static_cast<std::uint16_t>(std::count_if(list.begin(), list.end(),
                                                     [](const Name& n) { return n.index() == 1; }));
  };

  // Offsets: root, name directories, language directories, data entries, strings, data.
  std::uint32_t at = 16 + 8 * static_cast<std::uint32_t>(types.size());
  std::map<std::uint16_t, std::uint32_t> nameDirectory;
  for (auto t : types) {
    nameDirectory[t] = at;
    at += 16 + 8 * static_cast<std::uint32_t>(names[t].size());
  }
  std::map<std::pair<std::uint16_t, Name>, std::uint32_t> languageDirectory;
  for (auto t : types) {
    for (const Name& n : names[t]) {
      languageDirectory[{t, n}] = at;
      at += 16 + 8 * static_cast<std::uint32_t>(languages[{t, n}].size());
    }
  }
  std::vector<std::uint32_t> dataEntry(resources.size());
  for (std::size_t i = 0; i < resources.size(); ++i, at += 16) dataEntry[i] = at;
  std::map<std::u16string, std::uint32_t> strings;
  for (const Resource& r : resources) {
    if (const auto* text = std::get_if<std::u16string>(&r.name); text && !strings.count(*text)) {
      strings[*text] = at;
      at += 2 + 2 * static_cast<std::uint32_t>(text->size());
    }
  }
  std::vector<std::uint32_t> dataAt(resources.size());
  for (std::size_t i = 0; i < resources.size(); ++i) {
    at = (at + 3) & ~3u;
    dataAt[i] = at;
    at += static_cast<std::uint32_t>(resources[i].data.size());
  }

  Bytes out(at);
  auto directory = [&](std::uint32_t offset, std::uint16_t named, std::uint16_t numbered) {
    PutU16At(out, offset + 12, named);
    PutU16At(out, offset + 14, numbered);
  };
  auto nameField = [&](const Name& n) -> std::uint32_t {
    if (n.index() == 0) return std::get<0>(n);
    return 0x80000000u | strings[std::get<1>(n)];
  };
  directory(0, 0, static_cast<std::uint16_t>(types.size()));
  for (std::size_t i = 0; i < types.size(); ++i) {
    PutU32At(out, 16 + 8 * i, types[i]);
    PutU32At(out, 16 + 8 * i + 4, 0x80000000u | nameDirectory[types[i]]);
    const auto& list = names[types[i]];
    std::uint16_t named = countNamed(list);
    directory(nameDirectory[types[i]], named, static_cast<std::uint16_t>(list.size() - named));
    for (std::size_t k = 0; k < list.size(); ++k) {
      std::uint32_t entry = nameDirectory[types[i]] + 16 + 8 * static_cast<std::uint32_t>(k);
      PutU32At(out, entry, nameField(list[k]));
      std::uint32_t langDir = languageDirectory[{types[i], list[k]}];
      PutU32At(out, entry + 4, 0x80000000u | langDir);
      const auto& members = languages[{types[i], list[k]}];
      directory(langDir, 0, static_cast<std::uint16_t>(members.size()));
      for (std::size_t m = 0; m < members.size(); ++m) {
        PutU32At(out, langDir + 16 + 8 * m, resources[members[m]].language);
        PutU32At(out, langDir + 16 + 8 * m + 4, dataEntry[members[m]]);
      }
      if (layout) layout->languageDirectories.push_back(langDir);
    }
    if (layout) layout->nameDirectories.push_back(nameDirectory[types[i]]);
  }
  for (const auto& [text, offset] : strings) {
    PutU16At(out, offset, static_cast<std::uint16_t>(text.size()));
    for (std::size_t c = 0; c < text.size(); ++c) PutU16At(out, offset + 2 + 2 * c, text[c]);
  }
  for (std::size_t i = 0; i < resources.size(); ++i) {
    PutU32At(out, dataEntry[i], kSectionRva + dataAt[i]);
    PutU32At(out, dataEntry[i] + 4, static_cast<std::uint32_t>(resources[i].data.size()));
    std::copy(resources[i].data.begin(), resources[i].data.end(), out.begin() + dataAt[i]);
  }
  if (layout) layout->dataEntries = dataEntry;
  return out;
}

Bytes PeImageBytes(const Bytes& section, bool pe32plus, std::uint32_t virtualSize) {
  const std::uint16_t optionalSize = pe32plus ? 240 : 224;
  Bytes out(kSectionFileOffset);
  PutU16At(out, 0, 0x5A4D);  // MZ
  PutU32At(out, 0x3C, 0x40);
  PutU32At(out, 0x40, 0x00004550);  // PE
  std::size_t coff = 0x44;
  PutU16At(out, coff, pe32plus ? 0x8664 : 0x14C);
  PutU16At(out, coff + 2, 1);
  PutU16At(out, coff + 16, optionalSize);
  std::size_t optional = coff + 20;
  PutU16At(out, optional, pe32plus ? 0x20B : 0x10B);
  std::size_t directories = optional + (pe32plus ? 112 : 96);
  PutU32At(out, directories - 4, 16);
  PutU32At(out, directories + 16, kSectionRva);
  PutU32At(out, directories + 20, static_cast<std::uint32_t>(section.size()));
  std::size_t header = optional + optionalSize;
  for (char c : std::string(".rsrc")) out[header++] = static_cast<std::byte>(c);
  header = optional + optionalSize;
  PutU32At(out, header + 8, virtualSize ? virtualSize : static_cast<std::uint32_t>(section.size()));
  PutU32At(out, header + 12, kSectionRva);
  PutU32At(out, header + 16, static_cast<std::uint32_t>(section.size()));
  PutU32At(out, header + 20, kSectionFileOffset);
  out.insert(out.end(), section.begin(), section.end());
  return out;
}

Bytes GroupData(const std::vector<std::uint16_t>& members) {
  Bytes out;
  Put(out, 0, 2);
  Put(out, 1, 2);
  Put(out, members.size(), 2);
  for (std::uint16_t id : members) {
    Put(out, 0x0101, 2);
    Put(out, 0, 2);
    Put(out, 1, 2);
    Put(out, 4, 2);
    Put(out, 999999, 4);  // bytes in image: never used
    Put(out, id, 2);
  }
  return out;
}

}  // namespace kestrin::test
