#pragma once
// Helpers for end-to-end drivers: Windows programs, run under Wine beside the tool, that start the
// built program from a temporary directory and work it from outside as a person would.
//
//   auto program = e2e::Program::StartCopy(options.program);      // copied into a fresh directory
//   HWND main = e2e::WaitForTopLevel(program->id(), "图标提取", {}, 20000);
//   HWND button = e2e::FindControl(main, kMainWindow, "按钮1");   // window id = row in the table
//   e2e::Click(button);
//   auto box = e2e::WaitForMessageBox(program->id(), 10000);       // caption, text, buttons, icon
//   e2e::SaveScreenshot(main, options.Artifact("main-window.png"));
//
// Texts are UTF-8. A Program is killed when its owner goes out of scope (and, through a job
// object, when the driver dies), and its temporary directory is removed.

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/window_definition.h"

namespace kestrin::e2e {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A path given on the command line: a Unix path (as CMake passes it) becomes a Z: path.
std::string WindowsPath(std::string_view path);

// Command-line options of a driver: --program=PATH --artifacts=DIR, and any --name=value.
struct Options {
  std::string program;
  std::string artifacts;
  std::vector<std::pair<std::string, std::string>> others;

  static Options Parse(int argc, char** argv);
  std::string Get(std::string_view name) const;          // empty when absent
  std::string Artifact(std::string_view fileName) const;  // artifacts dir \ file name
};

// The options of the running driver (set by driver_main.cpp before the tests run).
const Options& DriverOptions();

// Polls until the condition holds or the time is up; true when it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step = std::chrono::milliseconds(20));

// ---- Windows and controls.
std::string TextOf(HWND window);
std::string ClassOf(HWND window);
std::vector<HWND> TopLevelWindowsOf(DWORD processId);  // visible ones
// Empty class name or caption matches any.
HWND FindTopLevel(DWORD processId, std::string_view className, std::string_view caption);
HWND WaitForTopLevel(DWORD processId, std::string_view className, std::string_view caption, int timeoutMs);
HWND FindControlById(HWND top, int id);  // among all descendants
HWND FindControl(HWND top, const WindowDefinition& definition, std::string_view name);
std::vector<HWND> ChildrenInStackingOrder(HWND parent);  // top first
RECT RectInParent(HWND window);                         // relative to the parent's client area

// ---- Message boxes (dialog class #32770 of the process).
struct MessageBoxInfo {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;
  bool hasIcon = false;
};
std::optional<MessageBoxInfo> FindMessageBox(DWORD processId);
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, int timeoutMs);
// Presses the box's first button (OK) and waits until the box is gone.
bool DismissMessageBox(const MessageBoxInfo& box, int timeoutMs = 5000);

// ---- Input: a left click with the real mouse at the centre of the window.
void Click(HWND window);

// ---- Pictures: the screen's pixels under the window, as PNG.
bool SaveScreenshot(HWND window, const std::string& pngPath);
// The screen's pixels in `area`, top row first, red-green-blue; nothing when the area can't be copied.
struct ScreenCapture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};
std::optional<ScreenCapture> CaptureScreenArea(const RECT& area);
bool SaveScreenArea(const RECT& area, const std::string& pngPath);
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

// ---- Files.
std::optional<std::vector<std::byte>> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// ---- The program under test.
class Program {
 public:
  // Copies the executable into a new temporary directory and starts it there; nullptr on failure.
  static std::unique_ptr<Program> StartCopy(const std::string& executable);
  ~Program();  // kills the process if it still runs, removes the directory
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  DWORD id() const { return info_.dwProcessId; }
  const std::string& directory() const { return directory_; }  // no trailing separator
  const std::string& path() const { return path_; }
  // The exit code once the process has ended within the time, else nothing.
  std::optional<DWORD> WaitForExit(int timeoutMs);
  void Kill();

 private:
  Program() = default;
  PROCESS_INFORMATION info_{};
  HANDLE job_ = nullptr;
  std::string directory_;
  std::string path_;
};

}  // namespace kestrin::e2e
