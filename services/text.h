#pragma once
// Texts of the program: UTF-8 std::string inside, UTF-16 only at the Windows boundary.
// Portable: no Windows header, built and tested natively too.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kestrin {

// The integer in decimal: "-" before negatives, no leading zeros, no spaces.
std::string IntToText(std::int64_t value);

// The parts concatenated in order; always a new text, also when every part is empty.
std::string JoinTexts(std::initializer_list<std::string_view> parts);

// The directory of an executable's full path: everything before the last backslash, without a
// trailing separator ("C:\Tools\iconx.exe" -> "C:\Tools", "C:\iconx.exe" -> "C:"). A path without
// a backslash has no directory: the empty text.
std::string DirectoryOfProgramPath(std::string_view programPath);

// UTF-8 <-> UTF-16. Ill-formed input (bad bytes, unpaired surrogates) becomes U+FFFD, so the
// conversions never fail.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace kestrin
