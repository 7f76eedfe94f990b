// Files dragged onto the running tool from another process with a real OLE drag: this driver
// starts DoDragDrop from a button-down that its own small topmost window has received, while a
// second thread moves the pointer with SendInput in small steps onto the tool's main window and
// releases the button there. The tool and the driver share Wine's virtual desktop.
//
// Checked: a dropped executable's path reaches the path box and enables 按钮1, whose click extracts
// its icons; a dropped icon file (its name in Chinese) extracts to 1.ico only; two files dropped at
// once fill the box with both paths, each followed by CR LF, and extract nothing; a drag of plain
// text is refused (the source sees the no-drop effect) and changes nothing.

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/main_window_layout.h"
#include "drag_data_object.h"
#include "driver.h"

namespace kestrin::e2e {
namespace {

using std::chrono::milliseconds;

constexpr WindowDefinition kLayout{kMainWindowProperties, kMainWindowControls, {}};
constexpr char kShell32[] = "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\shell32.dll";

// ---- The drag source: a topmost popup that starts DoDragDrop when it is pressed.

class DropSource final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the stack of the drag
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keyState) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return (keyState & MK_LBUTTON) == 0 ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
    lastFeedback = effect;
    ++feedbackCount;
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }

  std::atomic<DWORD> lastFeedback{0xFFFFFFFF};
  std::atomic<int> feedbackCount{0};
};

struct DragOutcome {
  bool started = false;   // the popup received the button-down and DoDragDrop ran
  HRESULT result = E_UNEXPECTED;
  DWORD effect = 0;       // as DoDragDrop reports it
  DWORD lastFeedback = 0xFFFFFFFF;  // the effect the target answered last, as the source saw it
};

struct DragState {
  IDataObject* data = nullptr;
  DropSource source;
  DragOutcome outcome;
  std::atomic<bool> pressed{false};
  std::atomic<bool> done{false};
};

DragState* currentDrag = nullptr;

LRESULT CALLBACK PopupProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN && currentDrag != nullptr && !currentDrag->pressed) {
    DragState& drag = *currentDrag;
    drag.pressed = true;
    drag.outcome.started = true;
    DWORD effect = DROPEFFECT_NONE;
    drag.outcome.result = DoDragDrop(drag.data, &drag.source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                                     &effect);
    drag.outcome.effect = effect;
    drag.outcome.lastFeedback = drag.source.lastFeedback;
    drag.done = true;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreatePopup(POINT centre) {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PopupProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = L"KestrinDragSource";
    return RegisterClassW(&windowClass) != 0;
  }();
  if (!registered) return nullptr;
  HWND popup = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"KestrinDragSource", L"drag source",
                               WS_POPUP | WS_VISIBLE, centre.x - 30, centre.y - 30, 60, 60, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (popup != nullptr) {
    SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(popup);
  }
  return popup;
}

void PumpFor(milliseconds time) {
  const auto end = std::chrono::steady_clock::now() + time;
  MSG message;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

void SendMouse(DWORD flags, POINT at = {}) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if ((flags & MOUSEEVENTF_ABSOLUTE) != 0) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = static_cast<LONG>((at.x * 65536LL + width / 2) / width);
    input.mi.dy = static_cast<LONG>((at.y * 65536LL + height / 2) / height);
  }
  SendInput(1, &input, sizeof input);
}

void MoveTo(POINT at) { SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at); }

// Moves the pointer onto `at` until the system agrees that it is there, over `window`: a position
// left by an earlier run can linger otherwise.
bool SettlePointer(POINT at, HWND window) {
  return WaitFor(
      [&] {
        MoveTo(at);
        PumpFor(milliseconds(30));
        POINT now{};
        GetCursorPos(&now);
        return now.x == at.x && now.y == at.y && WindowFromPoint(at) == window;
      },
      milliseconds(5000), milliseconds(50));
}

// Drags `data` from a popup of this process onto `target` (screen coordinates) and releases there.
DragOutcome DragOnto(IDataObject* data, POINT target) {
  const POINT start{80, 80};
  DragState drag;
  drag.data = data;
  currentDrag = &drag;
  HWND popup = CreatePopup(start);
  EXPECT_NE(popup, nullptr);
  PumpFor(milliseconds(200));
  EXPECT_TRUE(SettlePointer(start, popup)) << "the pointer did not settle over the drag source";

  std::thread mover([&drag, start, target] {
    // Wait for the drag to begin, then travel in small steps, linger over the target, release.
    WaitFor([&] { return drag.pressed.load(); }, milliseconds(5000));
    Sleep(200);
    const int steps = 40;
    for (int i = 1; i <= steps; ++i) {
      MoveTo({start.x + (target.x - start.x) * i / steps, start.y + (target.y - start.y) * i / steps});
      Sleep(25);
    }
    for (int i = 0; i < 6; ++i) {
      MoveTo({target.x + (i % 2), target.y});
      Sleep(60);
    }
    MoveTo(target);
    Sleep(300);
    SendMouse(MOUSEEVENTF_LEFTUP);
  });
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  const auto end = std::chrono::steady_clock::now() + milliseconds(20000);
  while (!drag.done && std::chrono::steady_clock::now() < end) PumpFor(milliseconds(20));
  mover.join();
  if (!drag.done) SendMouse(MOUSEEVENTF_LEFTUP);
  currentDrag = nullptr;
  DestroyWindow(popup);
  PumpFor(milliseconds(100));
  return drag.outcome;
}

// ---- Fixtures written at test time.

// An icon file with one 16 x 16 image at 32 bits per pixel.
std::vector<std::uint8_t> SmallIconFile() {
  const std::uint32_t pixels = 16 * 16 * 4;
  const std::uint32_t mask = 16 * 4;  // 1 bit per pixel, rows padded to 4 bytes
  const std::uint32_t imageSize = 40 + pixels + mask;
  std::vector<std::uint8_t> bytes;
  auto put16 = [&](std::uint32_t v) { bytes.push_back(v & 0xFF); bytes.push_back((v >> 8) & 0xFF); };
  auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
  put16(0); put16(1); put16(1);                                   // ICONDIR: reserved, icon, one image
  bytes.insert(bytes.end(), {16, 16, 0, 0}); put16(1); put16(32);  // entry: 16 x 16, planes, bit count
  put32(imageSize); put32(6 + 16);
  put32(40); put32(16); put32(32); put16(1); put16(32);            // BITMAPINFOHEADER, height doubled
  put32(0); put32(0); put32(0); put32(0); put32(0); put32(0);  // no compression, image size left 0
  for (std::uint32_t i = 0; i < 16 * 16; ++i) bytes.insert(bytes.end(), {0x20, 0x80, 0xE0, 0xFF});
  bytes.insert(bytes.end(), mask, 0);
  return bytes;
}

class DragDropEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    program = Program::StartCopy(DriverOptions().program);
    ASSERT_NE(program, nullptr) << "cannot start " << DriverOptions().program;
    main = WaitForTopLevel(program->id(), "图标提取", {}, 30000);
    ASSERT_NE(main, nullptr);
    pathBox = FindControl(main, kLayout, "编辑框1");
    extract = FindControl(main, kLayout, "按钮1");
    ASSERT_TRUE(pathBox != nullptr && extract != nullptr);
    PumpFor(milliseconds(500));

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    sources = std::filesystem::path(temp) / (L"kestrin-drag-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(sources);
  }
  void TearDown() override {
    program.reset();
    std::error_code error;
    std::filesystem::remove_all(sources, error);
    OleUninitialize();
  }

  // A point of the main window's client area away from every control that takes input.
  POINT DropPoint() const {
    POINT point{190, 60};
    ClientToScreen(main, &point);
    return point;
  }

  std::vector<int> WrittenIconFiles() const {
    std::vector<int> written;
    for (int n = 1; n <= 100; ++n) {
      if (FileExists(program->directory() + "\\" + std::to_string(n) + ".ico")) written.push_back(n);
    }
    return written;
  }

  void RemoveIconFiles() const {
    for (int n = 1; n <= 100; ++n) DeleteFileW(Wide(program->directory() + "\\" + std::to_string(n) + ".ico").c_str());
  }

  // Clicks 按钮1, waits for "提取成功", dismisses it.
  void ExtractAndConfirm() {
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(main) && IsWindowEnabled(extract); }, milliseconds(5000)));
    Click(extract);
    const auto box = WaitForMessageBox(program->id(), 60000);
    ASSERT_TRUE(box.has_value()) << "no message box after 按钮1";
    EXPECT_EQ(box->text, "提取成功");
    EXPECT_TRUE(DismissMessageBox(*box));
    // The task-modal box gives the main window back only after it is gone.
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(main) != FALSE; }, milliseconds(5000)));
  }

  std::unique_ptr<Program> program;
  HWND main = nullptr;
  HWND pathBox = nullptr;
  HWND extract = nullptr;
  std::filesystem::path sources;
};

TEST_F(DragDropEndToEnd, PlainTextIsRefusedAndChangesNothing) {
  auto text = testing::MakeDragDataObject({std::nullopt, L"C:\\looks\\like\\a\\path.exe"});
  const DragOutcome outcome = DragOnto(text.Get(), DropPoint());
  ASSERT_TRUE(outcome.started) << "the drag source never received the button-down";
  EXPECT_EQ(outcome.lastFeedback, DWORD{DROPEFFECT_NONE}) << "the tool did not answer with the no-drop effect";
  EXPECT_EQ(outcome.effect, DWORD{DROPEFFECT_NONE});
  PumpFor(milliseconds(300));
  EXPECT_EQ(TextOf(pathBox), "");
  EXPECT_FALSE(IsWindowEnabled(extract));
}

TEST_F(DragDropEndToEnd, DroppedFilesReachThePathBoxAndAreExtracted) {
  // An executable: its path alone in the box, 按钮1 enabled, its icon groups extracted.
  auto executable = testing::MakeDragDataObject({std::vector<std::wstring>{Wide(kShell32)}, std::nullopt});
  DragOutcome outcome = DragOnto(executable.Get(), DropPoint());
  ASSERT_TRUE(outcome.started) << "the drag source never received the button-down";
  EXPECT_EQ(outcome.lastFeedback, DWORD{DROPEFFECT_COPY}) << "the tool did not answer with the copy effect";
  ASSERT_TRUE(WaitFor([&] { return TextOf(pathBox) == kShell32; }, milliseconds(5000)))
      << "path box shows \"" << TextOf(pathBox) << "\"";
  EXPECT_TRUE(IsWindowEnabled(extract)) << "the drop did not enable 按钮1";
  PumpFor(milliseconds(300));
  EXPECT_TRUE(SaveScreenshot(main, DriverOptions().Artifact("drop-path-shown.png")));
  ExtractAndConfirm();
  std::vector<int> all(100);
  for (int n = 1; n <= 100; ++n) all[n - 1] = n;
  EXPECT_EQ(WrittenIconFiles(), all) << "shell32.dll has more than 100 icon groups";
  RemoveIconFiles();

  // An icon file whose name is in Chinese: only 1.ico.
  const std::filesystem::path icon = sources / L"\u56fe\u6807 \u6837\u672c.ico";
  {
    const std::vector<std::uint8_t> bytes = SmallIconFile();
    std::ofstream(icon, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  }
  auto iconFile = testing::MakeDragDataObject({std::vector<std::wstring>{icon.wstring()}, std::nullopt});
  outcome = DragOnto(iconFile.Get(), DropPoint());
  ASSERT_TRUE(outcome.started);
  const std::string iconPath = Narrow(icon.wstring());
  ASSERT_TRUE(WaitFor([&] { return TextOf(pathBox) == iconPath; }, milliseconds(5000)))
      << "path box shows \"" << TextOf(pathBox) << "\"";
  ExtractAndConfirm();
  EXPECT_EQ(WrittenIconFiles(), std::vector<int>{1});
  EXPECT_EQ(ReadFileBytes(program->directory() + "\\1.ico"), ReadFileBytes(iconPath)) << "1.ico is not the icon";
  RemoveIconFiles();

  // Two files at once: both paths, each followed by CR LF; extraction writes nothing and still
  // reports success.
  auto two = testing::MakeDragDataObject({std::vector<std::wstring>{Wide(kShell32), icon.wstring()}, std::nullopt});
  outcome = DragOnto(two.Get(), DropPoint());
  ASSERT_TRUE(outcome.started);
  const std::string both = std::string(kShell32) + "\r\n" + iconPath + "\r\n";
  ASSERT_TRUE(WaitFor([&] { return TextOf(pathBox) == both; }, milliseconds(5000)))
      << "path box shows \"" << TextOf(pathBox) << "\"";
  EXPECT_TRUE(SaveScreenshot(main, DriverOptions().Artifact("drop-two-paths.png")));
  ExtractAndConfirm();
  EXPECT_TRUE(WrittenIconFiles().empty());
}

}  // namespace
}  // namespace kestrin::e2e
