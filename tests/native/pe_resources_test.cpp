#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/extract.h"
#include "engine/file_io.h"
#include "engine/pe_resources.h"
#include "engine_test_support.h"

namespace kestrin {
namespace {

using test::Bytes;
using test::Resource;

struct Loaded {
  std::int32_t count = 0;
  std::vector<GroupName> names;
  std::vector<std::optional<IconSet>> sets;
};

// Every group of an image: its count, the names by rank and each loaded set.
Loaded LoadAll(const Bytes& file) {
  Loaded out;
  auto image = PeImage::Parse(file);
  if (!image) return out;
  for (std::int32_t rank = 1;; ++rank) {
    GroupEnumeration record;
    record.wantedIndex = rank;
    CountIconGroups(*image, record);
    out.count = record.runningCount;
    if (rank > record.runningCount) break;
    out.names.push_back(*record.chosenName);
    out.sets.push_back(LoadIconGroup(*image, record.chosenName, "module.dll"));
  }
  return out;
}

Loaded LoadAllFromFile(const std::string& path) { return LoadAll(test::ReadAll(path)); }

TEST(ExecutableGroups, NamesCountInStoredOrderTextFirst) {
  for (const char* library : {"names32.dll", "names64.dll"}) {
    SCOPED_TRACE(library);
    Loaded loaded = LoadAllFromFile(test::FixturePath(library));
    ASSERT_EQ(loaded.count, 3);
    EXPECT_EQ(loaded.names[0], GroupName(std::u16string(u"LOGO")));
    EXPECT_EQ(loaded.names[1], GroupName(std::uint16_t{1}));
    EXPECT_EQ(loaded.names[2], GroupName(std::uint16_t{5}));
    // LOGO is small.ico (one image), 1 is six.ico, 5 is two.ico: the members come in group order with
    // the bytes of the icon files the resource compiler was given.
    auto six = ReadIconFile(test::FixturePath("six.ico"));
    ASSERT_TRUE(six);
    ASSERT_TRUE(loaded.sets[1]);
    ASSERT_EQ(loaded.sets[1]->imageCount, 6u);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(loaded.sets[1]->images[i].bytes, six->images[i].bytes);
    EXPECT_EQ(loaded.sets[0]->imageCount, 1u);
    EXPECT_EQ(loaded.sets[2]->imageCount, 2u);
    EXPECT_EQ(loaded.sets[2]->moduleFileName, "module.dll");
    EXPECT_EQ(loaded.sets[2]->iconFileName, "");
  }
}

TEST(ExecutableGroups, HandMadeGroupsLoadAsTheirMembersSay) {
  Loaded loaded = LoadAllFromFile(test::FixturePath("groups32.dll"));
  Bytes small = test::ReadAll(test::FixturePath("small.bin"));
  Bytes png = test::ReadAll(test::FixturePath("png.bin"));
  Bytes deep = test::ReadAll(test::FixturePath("deep.bin"));
  Bytes medium = test::ReadAll(test::FixturePath("medium.bin"));
  // Groups 10, 11, 12, 13, 14 and 20 (20 in two languages counts once).
  ASSERT_EQ(loaded.count, 6);
  auto members = [&](int rank) {
    std::vector<Bytes> out;
    for (const IconImage& image : loaded.sets[rank]->images) out.push_back(image.bytes);
    return out;
  };
  ASSERT_TRUE(loaded.sets[0]);
  EXPECT_EQ(members(0), (std::vector<Bytes>{small, png}));
  // Group 11 shares member 901 with group 10 and gets its own copy.
  ASSERT_TRUE(loaded.sets[1]);
  EXPECT_EQ(members(1), (std::vector<Bytes>{png, deep}));
  // No members: an empty set.
  ASSERT_TRUE(loaded.sets[2]);
  EXPECT_EQ(loaded.sets[2]->imageCount, 0u);
  // Member 999 doesn't exist: the whole group loads as nothing.
  EXPECT_FALSE(loaded.sets[3]);
  ASSERT_TRUE(loaded.sets[4]);
  // Group 20 is taken in English, the first stored language, and so is its member 910 (medium), while
  // member 911 exists only as neutral.
  ASSERT_TRUE(loaded.sets[5]);
  EXPECT_EQ(members(5), (std::vector<Bytes>{medium, small}));
}

TEST(ExecutableGroups, AGroupTooShortForItsEntriesLoadsAsNothing) {
  Bytes file = test::ReadAll(test::FixturePath("groups32.dll"));
  // Group 14's single entry is marked with width and height 77; claim three members.
  const std::uint8_t marker[] = {0, 0, 1, 0, 1, 0, 77, 77};
  auto at = std::search(file.begin(), file.end(), std::begin(marker), std::end(marker),
                        [](std::byte b, std::uint8_t m) { return std::to_integer<std::uint8_t>(b) == m; });
  ASSERT_NE(at, file.end());
  *(at + 4) = std::byte{3};
  Loaded loaded = LoadAll(file);
  ASSERT_EQ(loaded.count, 6);
  EXPECT_TRUE(loaded.sets[0]);
  EXPECT_FALSE(loaded.sets[4]);
}

TEST(ExecutableGroups, ImagesWithoutGroupsOrResourcesHaveNone) {
  EXPECT_EQ(LoadAllFromFile(test::FixturePath("plain32.dll")).count, 0);
  EXPECT_EQ(LoadAll(test::PeImageBytes(Bytes{})).count, 0);
  EXPECT_FALSE(PeImage::Parse(test::ReadAll(test::FixturePath("small.ico"))));
  EXPECT_FALSE(PeImage::Parse(Bytes{}));
}

TEST(ExecutableGroups, WinesShell32HasItsGroupsInBothBuilds) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    Loaded loaded = LoadAllFromFile(test::WineLibraryPath("shell32.dll", wide));
    EXPECT_EQ(loaded.count, 184);
    std::size_t png = 0;
    for (const auto& set : loaded.sets) {
      ASSERT_TRUE(set);
      ASSERT_GT(set->imageCount, 0u);
      for (const IconImage& image : set->images) png += FormOf(image.bytes) == ImageForm::Png;
    }
    EXPECT_GE(png, 100u);  // the 256-pixel images are PNG
  }
}

// ---- hostile resource trees, built by hand ----

std::vector<Resource> OneGroup() {
  return {{kResourceTypeGroupIcon, std::uint16_t{1}, 0, test::GroupData({7})},
          {kResourceTypeIcon, std::uint16_t{7}, 0, test::BitmapImage(16, 32, 1, 4)}};
}

TEST(HostileResources, HandMadeTreeLoads) {
  for (bool pe32plus : {false, true}) {
    Loaded loaded = LoadAll(test::PeImageBytes(test::ResourceSection(OneGroup()), pe32plus));
    ASSERT_EQ(loaded.count, 1);
    ASSERT_TRUE(loaded.sets[0]);
    EXPECT_EQ(loaded.sets[0]->images[0].bytes, test::BitmapImage(16, 32, 1, 4));
  }
}

TEST(HostileResources, BrokenTreesGiveNothingAndNeverReadOutside) {
  test::ResourceLayout layout;
  const Bytes section = test::ResourceSection(OneGroup(), &layout);
  // layout: name directories [group, icon], language directories [group 1, icon 7], data entries.
  struct Case {
    const char* what;
    std::function<void(Bytes&)> patch;
    std::int32_t count;
    bool loads;
    std::uint32_t virtualSize = 0;
  };
  const std::uint32_t groupNames = layout.nameDirectories[0];
  const std::uint32_t groupLanguages = layout.languageDirectories[0];
  const std::uint32_t iconData = layout.dataEntries[1];
  const Case cases[] = {
      {"name directory loops to the root", [&](Bytes& s) { test::PutU32At(s, groupNames + 16 + 4, 0x80000000u); },
       1, false},
      {"type entry points at the root itself", [&](Bytes& s) { test::PutU32At(s, 16 + 4, 0x80000000u); }, 2,
       false},
      {"a fourth level", [&](Bytes& s) { test::PutU32At(s, groupLanguages + 16 + 4, 0x80000000u | groupNames); },
       1, false},
      {"0xFFFF names in a tiny section", [&](Bytes& s) { test::PutU16At(s, groupNames + 14, 0xFFFF); }, 0,
       false},
      {"0xFFFF types", [&](Bytes& s) { test::PutU16At(s, 14, 0xFFFF); }, 0, false},
      {"member outside every section", [&](Bytes& s) { test::PutU32At(s, iconData, 0x00900000u); }, 1, false},
      {"member of size 0xFFFFFFFF", [&](Bytes& s) { test::PutU32At(s, iconData + 4, 0xFFFFFFFFu); }, 1, false},
      {"member in the section's virtual tail",
       [&](Bytes& s) { test::PutU32At(s, iconData, test::kSectionRva + static_cast<std::uint32_t>(s.size()) + 16); },
       1, false, 0x10000},
      {"text name outside the section",
       [&](Bytes& s) { test::PutU32At(s, groupNames + 16, 0x80000000u | 0x7FFFFFF0u); }, 0, false},
      {"group data outside", [&](Bytes& s) { test::PutU32At(s, layout.dataEntries[0], 0xFFFFFFF0u); }, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes patched = section;
    c.patch(patched);
    Loaded loaded = LoadAll(test::PeImageBytes(patched, false, c.virtualSize));
    EXPECT_EQ(loaded.count, c.count);
    for (const auto& set : loaded.sets) EXPECT_EQ(set.has_value(), c.loads);
  }
}

TEST(HostileResources, TruncatedImagesNeverReadPastTheEnd) {
  Bytes file = test::PeImageBytes(test::ResourceSection(OneGroup()));
  for (std::size_t size = 0; size < file.size(); size += 7) {
    Bytes cut(file.begin(), file.begin() + size);
    Loaded loaded = LoadAll(cut);  // must not fault under the sanitizers
    for (const auto& set : loaded.sets) EXPECT_FALSE(set);
  }
}

TEST(HostileResources, ThousandsOfNamesSharingOneLanguageDirectory) {
  // One real group, then 20000 names that all lead to the same language directory.
  std::vector<Resource> resources = OneGroup();
  test::ResourceLayout layout;
  Bytes section = test::ResourceSection(resources, &layout);
  const std::uint32_t extra = 20000;
  Bytes names(16 + 8 * extra);
  test::PutU16At(names, 14, static_cast<std::uint16_t>(std::min<std::uint32_t>(extra, 0xFFFF)));
  for (std::uint32_t i = 0; i < extra; ++i) {
    test::PutU32At(names, 16 + 8 * i, 100 + i);
    test::PutU32At(names, 16 + 8 * i + 4, 0x80000000u | layout.languageDirectories[0]);
  }
  std::uint32_t at = static_cast<std::uint32_t>(section.size());
  section.insert(section.end(), names.begin(), names.end());
  test::PutU32At(section, 16 + 4, 0x80000000u | at);  // the group type now names the big directory
  Bytes file = test::PeImageBytes(section);
  auto image = PeImage::Parse(file);
  ASSERT_TRUE(image);
  GroupEnumeration record;
  record.wantedIndex = 19999;
  CountIconGroups(*image, record);
  EXPECT_EQ(record.runningCount, 20000);
  auto set = LoadIconGroup(*image, record.chosenName, "x.dll");
  ASSERT_TRUE(set);
  EXPECT_EQ(set->imageCount, 1u);
}

}  // namespace
}  // namespace kestrin
