#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "services/text.h"

namespace kestrin {
namespace {

TEST(IntToText, DecimalWithoutPaddingOrPlusSign) {
  const struct {
    std::int64_t value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {10, "10"},
      {100, "100"},
      {-1, "-1"},
      {-250, "-250"},
      {std::numeric_limits<std::int32_t>::max(), "2147483647"},
      {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
      {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
  };
  for (const auto& c : cases) EXPECT_EQ(IntToText(c.value), c.text) << c.value;
}

TEST(JoinTexts, ConcatenatesInOrderAndAlwaysGivesAText) {
  EXPECT_EQ(JoinTexts({"C:\\Tools", "\\", "12", ".ico"}), "C:\\Tools\\12.ico");
  EXPECT_EQ(JoinTexts({}), "");
  EXPECT_EQ(JoinTexts({"", "", ""}), "");
  EXPECT_EQ(JoinTexts({"图标", "", "提取"}), "图标提取");
}

TEST(DirectoryOfProgramPath, EverythingBeforeTheLastBackslash) {
  const struct {
    const char* path;
    const char* directory;
  } cases[] = {
      {"C:\\Tools\\iconx.exe", "C:\\Tools"},
      {"C:\\iconx.exe", "C:"},  // a drive's root: no trailing separator
      {"D:\\图标\\工具\\KestrinIOC.exe", "D:\\图标\\工具"},
      {"\\\\server\\share\\iconx.exe", "\\\\server\\share"},
      {"C:\\a.b\\iconx", "C:\\a.b"},
      {"iconx.exe", ""},
      {"", ""},
      {"C:/Tools/iconx.exe", ""},  // only the backslash separates
  };
  for (const auto& c : cases) EXPECT_EQ(DirectoryOfProgramPath(c.path), c.directory) << c.path;
}

TEST(Utf8Utf16, RoundTripsChineseAndSupplementaryCharacters) {
  const std::string texts[] = {"", "ascii", "提取成功", "信息：", "a\r\nb", "\xF0\x9F\x98\x80 emoji"};
  for (const std::string& text : texts) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text) << text;
  EXPECT_EQ(Utf8ToUtf16("提取"), u"提取");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
}

TEST(Utf8Utf16, IllFormedInputBecomesReplacementCharacters) {
  const struct {
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"\xFF", u"\xFFFD"},
      {"a\x80z", u"a\xFFFDz"},
      {"\xE6\x8F", u"\xFFFD\xFFFD"},        // truncated sequence
      {"\xC0\xAF", u"\xFFFD\xFFFD"},        // overlong
      {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},  // encoded surrogate
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"\xDC00x")), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace kestrin
