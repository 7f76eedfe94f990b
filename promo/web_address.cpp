#include "promo/web_address.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "services/text.h"

namespace kestrin {

void OpenWebAddress(std::string_view address) {
  const std::u16string wide = Utf8ToUtf16(address);
  HWND owner = FindWindowExW(nullptr, nullptr, nullptr, L"Microsoft Internet Explorer");
  // The result says whether the shell found a program; a failure is the shell's to report.
  ShellExecuteW(owner, L"open", reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr, nullptr,
                SW_SHOWNORMAL);
}

}  // namespace kestrin
