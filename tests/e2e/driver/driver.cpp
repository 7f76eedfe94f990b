#include "driver.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <thread>

namespace kestrin::e2e {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return std::string();
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), length, nullptr, nullptr);
  return out;
}

std::string WindowsPath(std::string_view path) {
  std::string out(path);
  if (!out.empty() && out.front() == '/') out = "Z:" + out;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

Options Options::Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.substr(0, 2) != "--") continue;
    const std::size_t equals = arg.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string name(arg.substr(2, equals - 2));
    const std::string value(arg.substr(equals + 1));
    if (name == "program") {
      options.program = WindowsPath(value);
    } else if (name == "artifacts") {
      options.artifacts = WindowsPath(value);
    } else {
      options.others.emplace_back(name, value);
    }
  }
  return options;
}

std::string Options::Get(std::string_view name) const {
  for (const auto& [key, value] : others) {
    if (key == name) return value;
  }
  return std::string();
}

std::string Options::Artifact(std::string_view fileName) const {
  std::filesystem::create_directories(std::filesystem::path(Wide(artifacts)));
  return artifacts + "\\" + std::string(fileName);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(step);
  }
}

std::string TextOf(HWND window) {
  // WM_GETTEXT works across processes for every window class (GetWindowText does not for controls).
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
  return Narrow(text);
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return Narrow(std::wstring_view(name, static_cast<std::size_t>(std::max(length, 0))));
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == s.processId && IsWindowVisible(hwnd)) s.found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindTopLevel(DWORD processId, std::string_view className, std::string_view caption) {
  for (HWND hwnd : TopLevelWindowsOf(processId)) {
    if ((className.empty() || ClassOf(hwnd) == className) && (caption.empty() || TextOf(hwnd) == caption)) return hwnd;
  }
  return nullptr;
}

HWND WaitForTopLevel(DWORD processId, std::string_view className, std::string_view caption, int timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindTopLevel(processId, className, caption)) != nullptr; },
          std::chrono::milliseconds(timeoutMs));
  return found;
}

HWND FindControlById(HWND top, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      top,
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(hwnd) == s.id) {
          s.found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindControl(HWND top, const WindowDefinition& definition, std::string_view name) {
  const std::int32_t row = ControlRow(definition, name);
  return row == 0 ? nullptr : FindControlById(top, row);
}

std::vector<HWND> ChildrenInStackingOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

RECT RectInParent(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::optional<MessageBoxInfo> FindMessageBox(DWORD processId) {
  HWND box = FindTopLevel(processId, "#32770", {});
  if (box == nullptr) return std::nullopt;
  MessageBoxInfo info;
  info.hwnd = box;
  info.owner = GetWindow(box, GW_OWNER);
  info.caption = TextOf(box);
  for (HWND child : ChildrenInStackingOrder(box)) {
    const std::string cls = ClassOf(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_stricmp(cls.c_str(), "Button") == 0) {
      if (IsWindowVisible(child)) info.buttons.push_back(TextOf(child));
    } else if (_stricmp(cls.c_str(), "Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        if (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0) info.hasIcon = true;
      } else if (GetDlgCtrlID(child) == 0xFFFF) {
        info.text = TextOf(child);
      }
    }
  }
  return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, int timeoutMs) {
  std::optional<MessageBoxInfo> box;
  WaitFor([&] { return (box = FindMessageBox(processId)).has_value(); }, std::chrono::milliseconds(timeoutMs));
  return box;
}

bool DismissMessageBox(const MessageBoxInfo& box, int timeoutMs) {
  HWND button = nullptr;
  for (HWND child : ChildrenInStackingOrder(box.hwnd)) {
    if (_stricmp(ClassOf(child).c_str(), "Button") == 0 && IsWindowVisible(child)) {
      button = child;
      break;
    }
  }
  if (button == nullptr) return false;
  Sleep(300);  // a box found at its first showing may still be settling
  Click(button);
  if (WaitFor([&] { return !IsWindow(box.hwnd); }, std::chrono::milliseconds(1000))) return true;
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(box.hwnd, nullptr), &gui);
  std::printf("DismissMessageBox: mouse click did not close the box (capture: %s \"%s\", active: %s); posting BM_CLICK\n",
              gui.hwndCapture ? ClassOf(gui.hwndCapture).c_str() : "none", gui.hwndCapture ? TextOf(gui.hwndCapture).c_str() : "",
              gui.hwndActive ? TextOf(gui.hwndActive).c_str() : "none");
  PostMessageW(button, BM_CLICK, 0, 0);
  return WaitFor([&] { return !IsWindow(box.hwnd); }, std::chrono::milliseconds(timeoutMs));
}

void Click(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int x = (rect.left + rect.right) / 2;
  const int y = (rect.top + rect.bottom) / 2;
  // Absolute coordinates on the primary screen, 0 ... 65535; every event carries the position.
  const LONG ax = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  const LONG ay = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  const DWORD flags[] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
  for (DWORD flag : flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = ax;
    input.mi.dy = ay;
    input.mi.dwFlags = flag | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
}

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3) return false;
  // Filter byte 0 per row; a zlib stream of stored blocks (no compression needed here).
  std::vector<std::uint8_t> raw;
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + static_cast<std::ptrdiff_t>(y * row), rgb.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
  }
  std::vector<std::uint8_t> zlib{0x78, 0x01};
  for (std::size_t offset = 0; offset < raw.size() || raw.empty();) {
    const std::size_t size = std::min<std::size_t>(65535, raw.size() - offset);
    const bool last = offset + size == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<std::uint8_t>(size));
    zlib.push_back(static_cast<std::uint8_t>(size >> 8));
    zlib.push_back(static_cast<std::uint8_t>(~size));
    zlib.push_back(static_cast<std::uint8_t>(~size >> 8));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset), raw.begin() + static_cast<std::ptrdiff_t>(offset + size));
    offset += size;
    if (last) break;
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian(zlib, (b << 16) | a);

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});
  std::ofstream file(std::filesystem::path(Wide(path)), std::ios::binary);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(file);
}

std::optional<ScreenCapture> CaptureScreenArea(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return std::nullopt;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::optional<ScreenCapture> capture;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
    if (copied) {
      capture = ScreenCapture{width, height, {}};
      capture->rgb.reserve(static_cast<std::size_t>(width) * height * 3);
      const auto* pixels = static_cast<const std::uint8_t*>(bits);
      for (int i = 0; i < width * height; ++i) {
        capture->rgb.push_back(pixels[i * 4 + 2]);
        capture->rgb.push_back(pixels[i * 4 + 1]);
        capture->rgb.push_back(pixels[i * 4 + 0]);
      }
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

bool SaveScreenArea(const RECT& area, const std::string& pngPath) {
  auto capture = CaptureScreenArea(area);
  return capture && WritePng(pngPath, capture->width, capture->height, capture->rgb);
}

bool SaveScreenshot(HWND window, const std::string& pngPath) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  return SaveScreenArea(rect, pngPath);
}

std::optional<std::vector<std::byte>> ReadFileBytes(const std::string& path) {
  std::ifstream file(std::filesystem::path(Wide(path)), std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<char> chars((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  std::transform(chars.begin(), chars.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::unique_ptr<Program> Program::StartCopy(const std::string& executable) {
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, temp) == 0) return nullptr;
  std::unique_ptr<Program> program(new Program());
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path directory = std::filesystem::path(temp) /
                                      (L"kestrin-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt));
    if (std::filesystem::create_directory(directory, error)) {
      program->directory_ = Narrow(directory.wstring());
      break;
    }
  }
  if (program->directory_.empty()) return nullptr;
  const std::filesystem::path source(Wide(executable));
  const std::filesystem::path target = std::filesystem::path(Wide(program->directory_)) / source.filename();
  if (!std::filesystem::copy_file(source, target, error)) return nullptr;
  program->path_ = Narrow(target.wstring());

  // The program dies with the driver, whatever happens to the driver.
  program->job_ = CreateJobObjectW(nullptr, nullptr);
  if (program->job_ != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(program->job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + target.wstring() + L"\"";
  const std::wstring workDirectory = std::filesystem::path(Wide(program->directory_)).wstring();
  if (!CreateProcessW(target.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      workDirectory.c_str(), &startup, &program->info_)) {
    return nullptr;
  }
  if (program->job_ != nullptr) AssignProcessToJobObject(program->job_, program->info_.hProcess);
  ResumeThread(program->info_.hThread);
  WaitForInputIdle(program->info_.hProcess, 10000);
  return program;
}

Program::~Program() {
  Kill();
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  if (job_ != nullptr) CloseHandle(job_);
  if (!directory_.empty()) {
    std::error_code error;
    // The process may need a moment to release its executable.
    WaitFor([&] { return std::filesystem::remove_all(std::filesystem::path(Wide(directory_)), error) != static_cast<std::uintmax_t>(-1) && !error; },
            std::chrono::milliseconds(3000), std::chrono::milliseconds(100));
  }
}

std::optional<DWORD> Program::WaitForExit(int timeoutMs) {
  if (info_.hProcess == nullptr || WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Program::Kill() {
  if (info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

}  // namespace kestrin::e2e
