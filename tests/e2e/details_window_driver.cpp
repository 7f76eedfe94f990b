// Drives the real program under Wine: the details window opened from the main window, its pages,
// and the eight project buttons handing their addresses to the shell.
//
// Run by details_window_e2e.sh, which gives this driver its own Wine prefix and a recorder program
// that the prefix's web browser setting names: every address the shell opens is appended to a
// file, one per line. The tests below run in order against one running program (the scenario of a
// person who opens the window, looks at each page, registers, closes and reopens it).
//
// Arguments after GoogleTest's: program.exe  recorder (a Unix path)  addresses file  artifacts dir

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "promo/promotion_config.h"

namespace {

using namespace std::chrono_literals;
using kestrin::e2e::ClassOf;
using kestrin::e2e::FindTopLevel;
using kestrin::e2e::RectInParent;
using kestrin::e2e::TextOf;
using kestrin::e2e::WaitFor;
using kestrin::e2e::Wide;

std::wstring programPath, recorderPath, addressesPath;
kestrin::e2e::Options options;  // only its artifacts directory is used

constexpr wchar_t kMainClass[] = L"图标提取";
constexpr wchar_t kMainCaption[] = L"KestrinIOC图标提取工具";
constexpr char kDetailsCaption[] = "项目详情";
constexpr auto kWait = 20s;   // the usual wait for the program
constexpr auto kPoll = 50ms;  // how often a wait looks again

// Returns when the program's thread has handled everything sent before, and let it paint.
void Settle(HWND window) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  Sleep(400);
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND FindDescendant(HWND window, std::string_view className, std::string_view text) {
  for (HWND child : Descendants(window)) {
    if (ClassOf(child) == className && TextOf(child) == text) return child;
  }
  return nullptr;
}

// ---- Screen captures: written as PNG to the artifacts directory; the pixels of a window's capture
// are kept in memory for checks.

std::string Artifact(const std::string& name) { return options.Artifact(name + ".png"); }

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // top-down rows, 3 bytes a pixel, no padding

  COLORREF At(int x, int y) const {
    const std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return RGB(p[0], p[1], p[2]);
  }
};

Capture CaptureScreen(const RECT& area) {
  Capture capture;
  if (auto shot = kestrin::e2e::CaptureScreenArea(area)) {
    capture.width = shot->width;
    capture.height = shot->height;
    capture.rgb = std::move(shot->rgb);
  }
  return capture;
}

Capture CaptureWindow(HWND window, const std::string& name) {
  RECT rect;
  GetWindowRect(window, &rect);
  Capture capture = CaptureScreen(rect);
  EXPECT_TRUE(kestrin::e2e::WritePng(Artifact(name), capture.width, capture.height, capture.rgb)) << "writing capture " << name;
  return capture;
}

// Pixels of a control's area in a capture of `frame` whose colour passes `test`.
int CountPixels(const Capture& capture, HWND frame, HWND control, const std::function<bool(COLORREF)>& test) {
  RECT frameRect, rect;
  GetWindowRect(frame, &frameRect);
  GetWindowRect(control, &rect);
  int count = 0;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      const int cx = x - frameRect.left, cy = y - frameRect.top;
      if (cx >= 0 && cy >= 0 && cx < capture.width && cy < capture.height && test(capture.At(cx, cy))) ++count;
    }
  }
  return count;
}

COLORREF PixelOf(const Capture& capture, HWND frame, HWND control, int x, int y) {
  RECT frameRect, rect;
  GetWindowRect(frame, &frameRect);
  GetWindowRect(control, &rect);
  return capture.At(rect.left - frameRect.left + x, rect.top - frameRect.top + y);
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// ---- The addresses the recorder received.

std::vector<std::string> RecordedAddresses() {
  std::ifstream in{std::filesystem::path(addressesPath)};
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::string Address(int project) {
  return std::string(kestrin::promotion_config::kRegistrationAddresses[static_cast<std::size_t>(project - 1)]);
}

// Clicks a button and waits until the shell has handed one more address to the recorder.
void ClickAndExpectAddress(HWND button, int project, const std::string& which) {
  SCOPED_TRACE(which);
  ASSERT_NE(button, nullptr);
  const std::size_t before = RecordedAddresses().size();
  PostMessageW(button, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return RecordedAddresses().size() > before; }, kWait, kPoll)) << "no address reached the shell";
  Sleep(300);  // a second, unexpected address would arrive about now
  const auto after = RecordedAddresses();
  ASSERT_EQ(after.size(), before + 1) << "exactly one address per click";
  EXPECT_EQ(after.back(), Address(project));
}

// ---- What a page shows: the visible controls inside the tab, described by kind and place.

std::string Describe(HWND control) {
  const std::string cls = ClassOf(control);
  const RECT r = RectInParent(control);
  std::ostringstream out;
  out << r.left << "," << r.top << " " << (r.right - r.left) << "x" << (r.bottom - r.top);
  const std::string place = out.str();
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (cls == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX) return "group " + place;
  if (cls == "Button") return "button " + place + " " + TextOf(control);
  if (cls == "SysTabControl32") return "tab " + place;
  const std::string text = TextOf(control);
  if (text.starts_with("声明：")) return "statement " + place;
  if (text.starts_with("    项目介绍：")) return "description " + place + " " + text.substr(text.find("\r\n") + 2, 30);
  return cls + " " + place;
}

std::vector<std::string> VisibleInside(HWND tab) {
  std::vector<std::string> shown;
  for (HWND child : Descendants(tab)) {
    if (IsWindowVisible(child)) shown.push_back(Describe(child));
  }
  std::sort(shown.begin(), shown.end());
  return shown;
}

struct PageExpectation {
  const char* title;
  std::vector<std::string> shown;  // sorted
};

// Line 2 of a description starts with a project's own words; 30 bytes of it name the project.
std::string Line2(const char* text) { return std::string(text).substr(0, 30); }

const std::vector<PageExpectation>& Pages() {
  static const std::vector<PageExpectation> pages = [] {
    std::vector<PageExpectation> p = {
        {"项目一详情",
         {"KestrinPicBox 6,18 624x296", "button 592,8 40x123 注册帐号", "description 8,55 576x125 " + Line2("1.此项目主要是玩游戏和体验广告为主"),
          "group 2,182 638x322", "group 2,45 638x135", "statement 9,23 623x32"}},
        {"项目二详情",
         {"KestrinPicBox 22,18 456x176", "button 545,8 85x123 注册帐号", "description 8,55 392x125 " + Line2("1.此项目主要是打码和体验广告为主，挂机"),
          "group 2,182 638x322", "group 2,45 638x135", "statement 9,23 623x32"}},
        {"项目三详情",
         {"button 153,152 325x83 注册帐号", "description 8,55 616x125 " + Line2("1.此项目主要是打码和体验广告为主，玩游"),
          "group 2,45 638x451", "statement 9,23 623x32"}},
        {"项目四详情",
         {"button 153,152 328x83 注册帐号", "description 8,55 528x125 " + Line2("1.此项目主要是淘宝小号挂机赚钱"),
          "group 2,45 638x451", "statement 9,23 623x32"}},
    };
    for (auto& page : p) std::sort(page.shown.begin(), page.shown.end());
    return p;
  }();
  return pages;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += "  " + line + "\n";
  return out;
}

// ---- The running program, shared by the tests in order.

class DetailsWindowTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    // Web addresses go to our recorder (winebrowser runs the program this value names).
    const std::wstring browsers = recorderPath;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers", REG_SZ, browsers.c_str(),
                    static_cast<DWORD>((browsers.size() + 1) * sizeof(wchar_t)));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + programPath + L"\"";
    const std::wstring directory = programPath.substr(0, programPath.find_last_of(L"\\/"));
    if (CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                       &startup, &process)) {
      WaitFor([] { return (main = FindWindowW(kMainClass, kMainCaption)) != nullptr && IsWindowVisible(main); }, kWait, kPoll);
      Settle(main);
    }
  }

  static void TearDownTestSuite() {
    if (process.hProcess == nullptr) return;
    if (main != nullptr && IsWindow(main)) {
      if (HWND details = FindTopLevel(process.dwProcessId, {}, kDetailsCaption)) PostMessageW(details, WM_CLOSE, 0, 0);
      WaitFor([] { return IsWindowEnabled(main) != FALSE; }, 5s, kPoll);
      PostMessageW(main, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

  void SetUp() override { ASSERT_NE(main, nullptr) << "the main window did not appear"; }

  static HWND Button(HWND window, const char* caption) { return FindDescendant(window, "Button", caption); }

  // Clicks 按钮2 and waits for the details window.
  static HWND OpenDetails() {
    PostMessageW(Button(main, "了解项目详情"), BM_CLICK, 0, 0);
    HWND details = nullptr;
    WaitFor([&] { return (details = FindTopLevel(process.dwProcessId, {}, kDetailsCaption)) != nullptr; }, kWait, kPoll);
    if (details != nullptr) Settle(details);
    return details;
  }

  static HWND TabOf(HWND details) {
    for (HWND child : Descendants(details)) {
      if (ClassOf(child) == "SysTabControl32") return child;
    }
    return nullptr;
  }

  static void ExpectPage(HWND tab, std::size_t page) {
    SCOPED_TRACE(Pages()[page].title);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), static_cast<LRESULT>(page));
    WaitFor([&] { return VisibleInside(tab) == Pages()[page].shown; }, 3s, kPoll);
    const auto shown = VisibleInside(tab);
    EXPECT_EQ(shown, Pages()[page].shown) << "shown:\n" << Join(shown) << "expected:\n" << Join(Pages()[page].shown);
  }

  static inline PROCESS_INFORMATION process{};
  static inline HWND main = nullptr;
};

TEST_F(DetailsWindowTest, OpensModalAndCentredOnPageOne) {
  EXPECT_TRUE(kestrin::e2e::SaveScreenshot(main, Artifact("details-main-window-before"))) << "writing capture details-main-window-before";
  HWND details = OpenDetails();
  ASSERT_NE(details, nullptr) << "按钮2 opened no details window";
  RECT rect;
  GetWindowRect(details, &rect);
  EXPECT_EQ(rect.right - rect.left, 650);
  EXPECT_EQ(rect.bottom - rect.top, 527);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 650) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 527) / 2);
  const LONG style = GetWindowLongW(details, GWL_STYLE);
  EXPECT_TRUE((style & WS_SYSMENU) != 0 && (style & WS_THICKFRAME) == 0 && (style & WS_MINIMIZEBOX) == 0 &&
              (style & WS_MAXIMIZEBOX) == 0)
      << "fixed frame with the close box only";
  HWND owner = GetWindow(details, GW_OWNER);
  EXPECT_TRUE(owner != nullptr && owner != main && !IsWindowVisible(owner)) << "owned by the hidden tool window";
  EXPECT_FALSE(IsWindowEnabled(main)) << "the main window is disabled while the details window is open";

  HWND tab = TabOf(details);
  ASSERT_NE(tab, nullptr);
  ExpectPage(tab, 0);

  // The texts of page 1 as the labels hold them.
  // (UTF-8: a CR or LF byte is never part of another character, so counts and places of them agree.)
  std::string statement, description;
  for (HWND child : Descendants(tab)) {
    if (!IsWindowVisible(child) || ClassOf(child) == "Button") continue;
    const std::string text = TextOf(child);
    if (text.starts_with("声明：")) statement = text;
    if (text.starts_with("    项目介绍：")) description = text;
  }
  EXPECT_TRUE(statement.ends_with(std::string("全程指导。QQ:") + kestrin::promotion_config::kContactNumber))
      << statement;
  EXPECT_TRUE(description.ends_with("答：您注册一个帐号去试试看。\r\n\r\n")) << "ten lines, each ended, one more CR LF";
  EXPECT_EQ(std::count(description.begin(), description.end(), '\n'), 11);
  EXPECT_EQ(description.find('\n'), description.find('\r') + 1) << "lines end with CR LF";

  EXPECT_TRUE(kestrin::e2e::SaveScreenArea(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                                           Artifact("details-over-main-window")))
      << "writing capture details-over-main-window";
}

TEST_F(DetailsWindowTest, ActivatingTheMainWindowActivatesTheDetailsWindow) {
  HWND details = FindTopLevel(process.dwProcessId, {}, kDetailsCaption);
  ASSERT_NE(details, nullptr);
  SetForegroundWindow(main);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == details; }, 5s, kPoll))
      << "foreground is " << ClassOf(GetForegroundWindow());
  EXPECT_FALSE(IsWindowEnabled(main));
}

TEST_F(DetailsWindowTest, EachPageShowsItsOwnControlsAndRegisters) {
  HWND details = FindTopLevel(process.dwProcessId, {}, kDetailsCaption);
  ASSERT_NE(details, nullptr);
  HWND tab = TabOf(details);
  ASSERT_NE(tab, nullptr);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (std::size_t page = 0; page < 4; ++page) {
    SCOPED_TRACE(Pages()[page].title);
    if (page > 0) {
      PostMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);  // the next tab, as the arrow key selects it
      PostMessageW(tab, WM_KEYUP, VK_RIGHT, 0);
      WaitFor([&] { return SendMessageW(tab, TCM_GETCURSEL, 0, 0) == static_cast<LRESULT>(page); }, 5s, kPoll);
      Settle(details);
    }
    ExpectPage(tab, page);
    const Capture shot = CaptureWindow(details, "details-page-" + std::to_string(page + 1));

    // Red statement line, blue description, and the picture where there is one.
    for (HWND child : Descendants(tab)) {
      if (!IsWindowVisible(child)) continue;
      const std::string kind = Describe(child);
      if (kind.starts_with("statement")) {
        EXPECT_GT(CountPixels(shot, details, child, [](COLORREF c) { return Near(c, RGB(255, 0, 0), 90); }), 100)
            << "red statement text";
      } else if (kind.starts_with("description")) {
        EXPECT_GT(CountPixels(shot, details, child, [](COLORREF c) { return Near(c, RGB(0, 0, 255), 90); }), 150)
            << "blue description text";
      } else if (kind.starts_with("KestrinPicBox")) {
        // The picture's dark frame at its left edge, and the picture's own light background inside.
        EXPECT_TRUE(Near(PixelOf(shot, details, child, 1, 60), RGB(0x22, 0x30, 0x3c), 40)) << "picture drawn at (0, 0)";
        if (page == 1) {
          // 445 pixels of picture in a 456-pixel box: the rest is the background colour.
          EXPECT_TRUE(Near(PixelOf(shot, details, child, 450, 60), face, 4)) << "background strip right of the picture";
          EXPECT_TRUE(Near(PixelOf(shot, details, child, 443, 60), RGB(0x22, 0x30, 0x3c), 40)) << "the picture's right frame";
        } else {
          // Only the top-left 624 x 296 of the 711 x 300 picture: its right frame is not in the box.
          EXPECT_FALSE(Near(PixelOf(shot, details, child, 622, 60), RGB(0x22, 0x30, 0x3c), 40)) << "picture cut off";
        }
      }
    }

    // The page's register button hands its project's address to the shell.
    HWND registerButton = nullptr;
    for (HWND child : Descendants(tab)) {
      if (IsWindowVisible(child) && ClassOf(child) == "Button" && TextOf(child) == "注册帐号") registerButton = child;
    }
    const LONG style = registerButton != nullptr ? GetWindowLongW(registerButton, GWL_STYLE) : 0;
    EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_NE(style & BS_MULTILINE, 0);
    ClickAndExpectAddress(registerButton, static_cast<int>(page) + 1, "details window, page " + std::to_string(page + 1));
  }

  // Back to page 1: nothing of pages 2 to 4 stays.
  for (int i = 0; i < 3; ++i) {
    PostMessageW(tab, WM_KEYDOWN, VK_LEFT, 0);
    PostMessageW(tab, WM_KEYUP, VK_LEFT, 0);
  }
  WaitFor([&] { return SendMessageW(tab, TCM_GETCURSEL, 0, 0) == 0; }, 5s, kPoll);
  Settle(details);
  ExpectPage(tab, 0);
  EXPECT_FALSE(IsWindowEnabled(main));
}

TEST_F(DetailsWindowTest, ClosingEnablesTheMainWindowAndReopeningShowsPageOne) {
  HWND details = FindTopLevel(process.dwProcessId, {}, kDetailsCaption);
  ASSERT_NE(details, nullptr);
  HWND tab = TabOf(details);
  PostMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);  // leave it on page 2
  WaitFor([&] { return SendMessageW(tab, TCM_GETCURSEL, 0, 0) == 1; }, 5s, kPoll);

  PostMessageW(details, WM_SYSCOMMAND, SC_CLOSE, 0);  // the system menu's close command
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(details); }, kWait, kPoll)) << "the details window did not close";
  EXPECT_TRUE(IsWindowEnabled(main)) << "the main window is enabled again";

  details = OpenDetails();
  ASSERT_NE(details, nullptr) << "按钮2 opened no details window the second time";
  ExpectPage(TabOf(details), 0);
  EXPECT_FALSE(IsWindowEnabled(main));
  PostMessageW(details, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(details); }, kWait, kPoll));
  EXPECT_TRUE(IsWindowEnabled(main));
}

TEST_F(DetailsWindowTest, MainWindowProjectButtonsHandTheirAddressesToTheShell) {
  const char* captions[] = {"推荐项目1注册", "推荐项目2注册", "推荐项目3注册", "推荐项目4注册"};
  for (int project = 1; project <= 4; ++project) {
    ClickAndExpectAddress(Button(main, captions[project - 1]), project, "main window, project " + std::to_string(project));
  }
  // Main 按钮3..6 and details 按钮1..4 gave the same addresses, in project order twice.
  const auto recorded = RecordedAddresses();
  ASSERT_EQ(recorded.size(), 8u);
  for (int project = 1; project <= 4; ++project) {
    EXPECT_EQ(recorded[static_cast<std::size_t>(project - 1)], recorded[static_cast<std::size_t>(project + 3)]);
  }
  EXPECT_TRUE(kestrin::e2e::SaveScreenshot(main, Artifact("details-main-window-after"))) << "writing capture details-main-window-after";
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s program.exe recorder addresses-file artifacts-dir\n", argv[0]);
    return 2;
  }
  programPath = Wide(argv[1]);
  recorderPath = Wide(argv[2]);
  addressesPath = Wide(argv[3]);
  options.artifacts = argv[4];
  return RUN_ALL_TESTS();
}
