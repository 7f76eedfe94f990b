#pragma once
// UTF-8 texts across the Windows boundary (W functions only).

#include <windows.h>

#include <string>
#include <string_view>

#include "services/text.h"

namespace kestrin {

inline std::wstring Wide(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// The window's current text (GetWindowTextW), UTF-8.
inline std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::string();
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return Narrow(buffer);
}

}  // namespace kestrin
