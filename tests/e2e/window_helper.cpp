// A small helper for scripts/run: waits for the running tool's main window, optionally writes a
// path into its path box (as a drop would), and optionally saves a screenshot of the window.
//   kestrin_window_helper [--path=FILE] [--screenshot=PNG] [--close]
// Exit code 0 when the window was found and every step worked.

#include <cstdio>

#include "app/main_window_layout.h"
#include "driver.h"

int main(int argc, char** argv) {
  using namespace kestrin;
  const e2e::Options options = e2e::Options::Parse(argc, argv);
  HWND main = nullptr;
  e2e::WaitFor([&] { return (main = FindWindowW(L"图标提取", nullptr)) != nullptr && IsWindowVisible(main); },
               std::chrono::milliseconds(60000));
  if (main == nullptr) {
    std::fprintf(stderr, "window_helper: the main window did not appear\n");
    return 1;
  }
  int status = 0;
  const std::string path = options.Get("path");
  if (!path.empty()) {
    constexpr WindowDefinition layout{kMainWindowProperties, kMainWindowControls, {}};
    HWND pathBox = e2e::FindControl(main, layout, "编辑框1");
    const std::wstring text = e2e::Wide(e2e::WindowsPath(path));
    if (pathBox == nullptr || !SendMessageW(pathBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) status = 1;
  }
  const std::string screenshot = options.Get("screenshot");
  if (!screenshot.empty()) {
    Sleep(700);  // let it paint
    if (!e2e::SaveScreenshot(main, e2e::WindowsPath(screenshot))) status = 1;
  }
  if (options.Get("close") == "1") PostMessageW(main, WM_CLOSE, 0, 0);
  return status;
}
