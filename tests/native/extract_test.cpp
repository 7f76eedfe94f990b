#include <gtest/gtest.h>

#include "engine/extract.h"
#include "engine/icon_file.h"
#include "engine/pe_resources.h"
#include "engine_test_support.h"

namespace kestrin {
namespace {

using test::Bytes;

TEST(PathKinds, ComeFromTheLastThreeBytesOnly) {
  const std::pair<const char*, PathKind> cases[] = {
      {"C:\\icons\\App.ICO", PathKind::IconFile}, {"tool.Exe", PathKind::Executable},
      {"lib.DLL", PathKind::Executable},          {"set.icl", PathKind::Executable},
      {"C:\\x\\myico", PathKind::IconFile},       {"picture.png", PathKind::None},
      {"ab", PathKind::None},                     {"", PathKind::None},
      {"ico", PathKind::IconFile},                {"a.ico ", PathKind::None},
      {"shot.BMP", PathKind::Bitmap},             {"a.ico\r\nb.ico\r\n", PathKind::None},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(KindOfPath(path), kind) << path;
}

class Extraction : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return dir.Path(name); }
  std::optional<IconSet> Written(const std::string& name) const { return ReadIconFile(Out(name)); }
  test::TempDir dir;
};

TEST_F(Extraction, IconFileSourceIsOneIconWithAllItsImages) {
  std::string six = test::FixturePath("six.ico");
  EXPECT_EQ(ExtractIconSet(six, 0, Out("1.ico"), 1), 1);
  auto written = Written("1.ico");
  ASSERT_TRUE(written);
  EXPECT_EQ(written->imageCount, 6u);
  EXPECT_EQ(ExtractIconSet(six, 0, Out("2.ico"), 2), 0);
  EXPECT_FALSE(test::Exists(Out("2.ico")));
  // Index 0 and negative indexes mean 1.
  EXPECT_EQ(ExtractIconSet(six, 0, Out("zero.ico"), 0), 1);
  EXPECT_EQ(ExtractIconSet(six, 0, Out("minus.ico"), -5), 1);
  EXPECT_EQ(test::ReadAll(Out("zero.ico")), test::ReadAll(Out("1.ico")));
  EXPECT_EQ(test::ReadAll(Out("minus.ico")), test::ReadAll(Out("1.ico")));
}

TEST_F(Extraction, ResultTable) {
  test::WriteAll(Out("text.exe"), Bytes(100, std::byte{'x'}));
  test::WriteAll(Out("broken.ico"), Bytes(5, std::byte{0}));
  std::string names = test::FixturePath("names32.dll");
  struct Case {
    const char* what;
    std::string source;
    std::int32_t mode;
    std::string destination;
    std::int32_t index;
    std::int32_t result;
    bool written;
  };
  const Case cases[] = {
      {"empty destination in mode 0", names, 0, "", 1, 0, false},
      {"source of another kind", test::FixturePath("png.bin"), 0, Out("a.ico"), 1, 0, false},
      {"empty source", "", 0, Out("b.ico"), 1, 0, false},
      {"missing icon file, index 1", Out("missing.ico"), 0, Out("c.ico"), 1, 1, false},
      {"missing icon file, index 2", Out("missing.ico"), 0, Out("d.ico"), 2, 0, false},
      {"malformed icon file", Out("broken.ico"), 0, Out("e.ico"), 1, 1, false},
      {"executable that is text", Out("text.exe"), 0, Out("f.ico"), 1, 0, false},
      {"missing executable", Out("missing.dll"), 0, Out("g.ico"), 1, 0, false},
      {"executable without groups", test::FixturePath("plain32.dll"), 0, Out("h.ico"), 1, 0, false},
      {"index past the groups", names, 0, Out("i.ico"), 4, 0, false},
      {"group of rank 3", names, 0, Out("j.ico"), 3, 3, true},
      {"upper-case destination", names, 0, Out("k.ICO"), 1, 3, true},
      {"destination of another kind", names, 0, Out("l.txt"), 1, 3, false},
      {"bitmap destination", names, 0, Out("m.bmp"), 1, 3, false},
      {"group with a missing member", test::FixturePath("groups32.dll"), 0, Out("n.ico"), 4, 6, false},
      {"clipboard mode", names, 1, Out("o.ico"), 1, 3, false},
      {"mode out of range means clipboard", names, 7, Out("p.ico"), 1, 3, false},
      {"negative mode means clipboard", names, -1, "", 1, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ExtractIconSet(c.source, c.mode, c.destination, c.index), c.result);
    EXPECT_EQ(!c.destination.empty() && test::Exists(c.destination), c.written);
  }
}

TEST_F(Extraction, ExistingDestinationIsReplacedOnlyWhenASetWasObtained) {
  const Bytes old = {std::byte{'o'}, std::byte{'l'}, std::byte{'d'}};
  test::WriteAll(Out("keep.ico"), old);
  EXPECT_EQ(ExtractIconSet(test::FixturePath("groups32.dll"), 0, Out("keep.ico"), 4), 6);
  EXPECT_EQ(test::ReadAll(Out("keep.ico")), old);
  EXPECT_EQ(ExtractIconSet(test::FixturePath("groups32.dll"), 0, Out("keep.ico"), 3), 6);
  EXPECT_EQ(test::ReadAll(Out("keep.ico")).size(), 6u);  // the group of no members
}

TEST_F(Extraction, ShorterSourceLeavesLaterFilesOfAnEarlierRunInPlace) {
  auto runAll = [&](const std::string& source) {
    for (int n = 1; n <= 100; ++n) ExtractIconSet(source, 0, Out(std::to_string(n) + ".ico"), n);
  };
  runAll(test::FixturePath("groups32.dll"));  // six groups, one of which can't be loaded
  auto fourth = test::ReadAll(Out("6.ico"));
  runAll(test::FixturePath("names32.dll"));  // three groups
  EXPECT_EQ(test::ReadAll(Out("6.ico")), fourth);
  EXPECT_EQ(Written("1.ico")->imageCount, 1u);  // LOGO
  EXPECT_EQ(Written("3.ico")->imageCount, 2u);
  EXPECT_FALSE(test::Exists(Out("7.ico")));
}

TEST_F(Extraction, WinesShell32GivesOneFilePerRankWithTheResourcesBytes) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    std::string source = test::WineLibraryPath("shell32.dll", wide);
    auto module = test::ReadAll(source);
    auto image = PeImage::Parse(module);
    ASSERT_TRUE(image);
    for (int n = 1; n <= 100; ++n) {
      std::string destination = Out(std::to_string(n) + ".ico");
      ASSERT_EQ(ExtractIconSet(source, 0, destination, n), 184);
      auto written = ReadIconFile(destination);
      ASSERT_TRUE(written) << n;
      GroupEnumeration record;
      record.wantedIndex = n;
      CountIconGroups(*image, record);
      auto group = LoadIconGroup(*image, record.chosenName, source);
      ASSERT_TRUE(group);
      ASSERT_EQ(written->imageCount, group->imageCount);
      for (std::uint32_t i = 0; i < group->imageCount; ++i) {
        Bytes expected = group->images[i].bytes;
        if (FormOf(expected) == ImageForm::Bitmap) std::fill_n(expected.begin() + 20, 4, std::byte{0});
        EXPECT_EQ(written->images[i].bytes, expected);
      }
    }
    EXPECT_EQ(ExtractIconSet(source, 0, Out("185.ico"), 185), 0);
    EXPECT_FALSE(test::Exists(Out("185.ico")));
  }
}

}  // namespace
}  // namespace kestrin
