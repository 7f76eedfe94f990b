#include "services/runtime.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <new>
#include <optional>

#include "services/win_text.h"
#include "services/window_loader.h"

namespace kestrin {

namespace {

std::optional<std::string>& RecordedProgramDirectory() {
  static std::optional<std::string> directory;
  return directory;
}

// The executable's full path, however long (the buffer grows until the path fits).
std::wstring ModulePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

void RecordProgramDirectory() { RecordedProgramDirectory() = DirectoryOfProgramPath(Narrow(ModulePath())); }

// Uninitialises OLE only if this guard initialised it.
class OleSession {
 public:
  OleSession() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleSession() {
    if (initialised_) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  bool initialised_;
};

}  // namespace

std::string ProgramDirectory() {
  if (!RecordedProgramDirectory()) RecordProgramDirectory();
  return *RecordedProgramDirectory();
}

bool RemoveFile(std::string_view path) { return DeleteFileW(Wide(path).c_str()) != FALSE; }

int ShowMessage(std::string_view text, std::uint32_t flags, std::string_view caption) {
  const std::wstring wideCaption = caption.empty() ? std::wstring(L"信息：") : Wide(caption);
  return MessageBoxW(nullptr, Wide(text).c_str(), wideCaption.c_str(), flags | MB_TASKMODAL);
}

void Delay(std::int32_t milliseconds) { Sleep(static_cast<DWORD>(std::max<std::int32_t>(milliseconds, 0))); }

[[noreturn]] void FatalError(std::string_view message) {
  // No allocation here: this is also where an exhausted allocation ends.
  static wchar_t text[1024];
  const int length = MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(std::min<std::size_t>(message.size(), 1000)),
                                         text, 1023);
  text[length > 0 ? length : 0] = L'\0';
  MessageBoxW(nullptr, text, L"运行时错误", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(static_cast<UINT>(-1));
}

int RunProgram(const WindowDefinition& startWindow, bool (*prepareDefinitions)()) {
  std::set_new_handler([] { FatalError("内存不足"); });
  const OleSession ole;
  RecordProgramDirectory();
  std::wstring directory = Wide(ProgramDirectory());
  if (!directory.empty() && directory.back() == L':') directory.push_back(L'\\');  // "C:" is the drive's root
  SetCurrentDirectoryW(directory.c_str());
  if (ToolWindow() == nullptr) FatalError("无法创建程序的隐藏窗口");

  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&common);
  RegisterBuiltInControlTypes();
  if (prepareDefinitions != nullptr && !prepareDefinitions()) FatalError("窗口定义无法准备");
  std::string problem;
  if (!CheckWindowDefinition(startWindow, &problem)) FatalError(JoinTexts({"窗口定义有误: ", problem}));
  if (!LoadWindow(startWindow, nullptr, false)) FatalError(JoinTexts({"无法载入窗口: ", startWindow.properties.name}));

  RunMessageLoop();
  DestroyWindow(ToolWindow());
  return 0;
}

}  // namespace kestrin
