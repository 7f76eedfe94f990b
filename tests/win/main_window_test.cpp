// The main window as loaded from its definition, checked against the tables it is built from:
// class, frame, place, every control's class, parent, rectangle, styles, text, state and
// stacking order, and the events that change state.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "driver.h"
#include "services/runtime.h"
#include "window_test_support.h"

namespace kestrin {
namespace {

using e2e::ChildrenInStackingOrder;
using e2e::ClassOf;
using e2e::RectInParent;
using e2e::TextOf;

class MainWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterBuiltInControlTypes();
    ASSERT_TRUE(PrepareProgramDefinitions());
  }
  void SetUp() override {
    ASSERT_TRUE(LoadWindow(kMainWindow));
    main_ = WindowHandle(kMainWindow);
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override { test::Unload(kMainWindow); }

  HWND Control(std::string_view name) const { return ControlWindow(kMainWindow, name); }

  HWND main_ = nullptr;
};

TEST_F(MainWindowTest, WindowClassFrameAndPlace) {
  EXPECT_EQ(ClassOf(main_), "图标提取");
  EXPECT_EQ(TextOf(main_), "KestrinIOC图标提取工具");
  EXPECT_EQ(GetClassLongPtrW(main_, GCL_STYLE), CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(GetClassLongPtrW(main_, GCLP_HBRBACKGROUND)), GetStockObject(NULL_BRUSH));
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(main_, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_ARROW));

  const LONG_PTR style = GetWindowLongPtrW(main_, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_CHILD);
  EXPECT_TRUE(IsWindowVisible(main_));
  const LONG_PTR exStyle = GetWindowLongPtrW(main_, GWL_EXSTYLE);
  EXPECT_FALSE(exStyle & WS_EX_TOPMOST);
  EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW) << "own taskbar button";
  EXPECT_EQ(GetWindow(main_, GW_OWNER), nullptr);

  HMENU menu = GetSystemMenu(main_, FALSE);
  ASSERT_NE(menu, nullptr);
  for (UINT command : {SC_MOVE, SC_CLOSE}) {
    const UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
    EXPECT_NE(state, static_cast<UINT>(-1)) << command;
    EXPECT_FALSE(state & (MF_GRAYED | MF_DISABLED)) << command;
  }

  RECT rect;
  GetWindowRect(main_, &rect);
  EXPECT_EQ(rect.right - rect.left, 380);
  EXPECT_EQ(rect.bottom - rect.top, 323);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 380) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 323) / 2);
}

TEST_F(MainWindowTest, IconsComeFromTheProgramsIconGroup) {
  // This test program carries the tool's resources too.
  for (const auto& [which, size] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(main_, WM_GETICON, which, 0));
    ASSERT_NE(icon, nullptr) << which;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(size));
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

struct ExpectedControl {
  const char* name;
  const char* className;
  const char* parent;  // "" for the main window
  RECT rect;           // left, top, right, bottom in the parent's client area
  bool enabled;
  bool visible;
  LONG requiredStyle;
  LONG forbiddenStyle;
  LONG exStyle;
};

constexpr LONG kPushButton = WS_TABSTOP | BS_CENTER | BS_VCENTER;

// Independent of the definition: the table the window must match.
const ExpectedControl kExpected[] = {
    {"按钮2", "Button", "分组框1", {263, 15, 354, 45}, true, true, kPushButton, BS_DEFPUSHBUTTON | BS_MULTILINE, 0},
    {"按钮3", "Button", "分组框1", {263, 50, 354, 80}, true, true, kPushButton, BS_DEFPUSHBUTTON | BS_MULTILINE, 0},
    {"按钮4", "Button", "分组框1", {263, 83, 354, 113}, true, true, kPushButton, BS_DEFPUSHBUTTON | BS_MULTILINE, 0},
    {"按钮5", "Button", "分组框1", {263, 116, 354, 146}, true, true, kPushButton, BS_DEFPUSHBUTTON | BS_MULTILINE, 0},
    {"按钮6", "Button", "分组框1", {263, 150, 354, 180}, true, true, kPushButton, BS_DEFPUSHBUTTON | BS_MULTILINE, 0},
    {"透明标签1", "KestrinTransLabel", "分组框1", {3, 10, 259, 194}, true, true, 0, WS_BORDER, WS_EX_TRANSPARENT},
    {"分组框1", "Button", "", {5, 102, 365, 296}, true, true, BS_GROUPBOX, 0, 0},
    {"拖放对象1", nullptr, "", {16, 72, 40, 96}, true, false, 0, 0, 0},
    {"标签1", "KestrinLabel", "", {24, 8, 352, 32}, true, true, 0, WS_BORDER, 0},
    {"删除按钮", "Button", "", {272, 72, 360, 96}, false, true, kPushButton, BS_DEFPUSHBUTTON, 0},
    {"按钮1", "Button", "", {208, 72, 264, 96}, false, true, kPushButton, BS_DEFPUSHBUTTON, 0},
    {"编辑框1", "Edit", "", {16, 32, 368, 56}, true, true, WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
     ES_MULTILINE | ES_CENTER | ES_RIGHT | ES_NUMBER | ES_PASSWORD, WS_EX_CLIENTEDGE},
    {"分组框2", "Button", "", {4, -1, 372, 103}, true, true, BS_GROUPBOX, 0, 0},
};

TEST_F(MainWindowTest, ControlsMatchTheTable) {
  for (const ExpectedControl& expected : kExpected) {
    SCOPED_TRACE(expected.name);
    HWND hwnd = Control(expected.name);
    ASSERT_NE(hwnd, nullptr);
    if (expected.className != nullptr) {
      EXPECT_EQ(ClassOf(hwnd), expected.className);
    }
    EXPECT_EQ(GetParent(hwnd), *expected.parent == '\0' ? main_ : Control(expected.parent));
    const RECT rect = RectInParent(hwnd);
    EXPECT_EQ(rect.left, expected.rect.left);
    EXPECT_EQ(rect.top, expected.rect.top);
    EXPECT_EQ(rect.right, expected.rect.right);
    EXPECT_EQ(rect.bottom, expected.rect.bottom);
    EXPECT_EQ(IsWindowEnabled(hwnd) != FALSE, expected.enabled);
    EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, expected.visible);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_EQ(style & expected.requiredStyle, expected.requiredStyle) << std::hex << style;
    EXPECT_EQ(style & expected.forbiddenStyle, 0) << std::hex << style;
    if (expected.exStyle != 0) {
      EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & expected.exStyle, expected.exStyle);
    }
    if (expected.visible) {
      EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
    }
  }
  // Push buttons, not default buttons; group boxes are group boxes.
  for (const char* name : {"按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮6", "删除按钮"}) {
    EXPECT_EQ(GetWindowLongW(Control(name), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << name;
  }
  for (const char* name : {"分组框1", "分组框2"}) {
    EXPECT_EQ(GetWindowLongW(Control(name), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX) << name;
  }
}

TEST_F(MainWindowTest, TextsMatchTheTable) {
  const std::pair<const char*, std::string> texts[] = {
      {"按钮2", "了解项目详情"},
      {"按钮3", "推荐项目1注册"},
      {"按钮4", "推荐项目2注册"},
      {"按钮5", "推荐项目3注册"},
      {"按钮6", "推荐项目4注册"},
      {"分组框1", ""},
      {"分组框2", ""},
      {"标签1", "拖放文件至本窗口,支持扩展名为EXE、DLL、ICL、ICO的文件"},
      {"删除按钮", "删除所有图标"},
      {"按钮1", "提取"},
      {"编辑框1", ""},
      {"透明标签1", std::string(24, ' ') + "推荐项目1\r\n" +
                        "  玩游戏可以免费赚钱，对网上赚钱有兴趣的朋友可以尝试下，利用空闲时间就可以赚到钱了。\r\n" +
                        std::string(24, ' ') + "推荐项目2\r\n" +
                        "  打验证码和挂机就可以免费赚钱，会打字就行。打字快的一小时可以打3-4元钱，每天花2小时轻松收入10元钱。\r\n" +
                        std::string(24, ' ') + "推荐项目3\r\n" +
                        "  想冲Q钻又不想花钱？推荐一个超赞的网站，每天轻松赚个二三十元，邀请好友还有超高提成奖励。\r\n" +
                        std::string(24, ' ') + "推荐项目4\r\n" +
                        "  只要你有淘宝小号就可以免费赚钱，利用淘宝小号给别人刷淘宝收藏和流量就可以赚钱。淘宝小号越多赚的越多。"},
  };
  for (const auto& [name, text] : texts) EXPECT_EQ(TextOf(Control(name)), text) << name;
}

TEST_F(MainWindowTest, StackingOrderIsTableOrderAmongSiblings) {
  const auto names = [&](HWND parent) {
    std::vector<std::string> out;
    for (HWND child : ChildrenInStackingOrder(parent)) {
      const ControlInstance* control = FindControl(child);
      out.push_back(control != nullptr ? std::string(control->definition->name) : ClassOf(child));
    }
    return out;
  };
  EXPECT_EQ(names(main_), (std::vector<std::string>{"分组框1", "拖放对象1", "标签1", "删除按钮", "按钮1", "编辑框1", "分组框2"}));
  EXPECT_EQ(names(Control("分组框1")), (std::vector<std::string>{"按钮2", "按钮3", "按钮4", "按钮5", "按钮6", "透明标签1"}));
  EXPECT_TRUE(ChildrenInStackingOrder(Control("分组框2")).empty());
}

TEST_F(MainWindowTest, ButtonsInTheGroupBoxAreReachedByThePointer) {
  // The group box is re-parented over nothing; its buttons must still be what a click hits.
  for (const char* name : {"按钮2", "按钮6"}) {
    HWND button = Control(name);
    RECT rect;
    GetWindowRect(button, &rect);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    EXPECT_EQ(WindowFromPoint(centre), button) << name;
  }
}

TEST_F(MainWindowTest, AnyChangeOfThePathBoxEnablesExtractOnly) {
  ASSERT_FALSE(IsWindowEnabled(Control("按钮1")));
  SetControlText(kMainWindow, "编辑框1", "");  // even the empty text, equal to the old one
  EXPECT_TRUE(IsWindowEnabled(Control("按钮1")));
  EXPECT_FALSE(IsWindowEnabled(Control("删除按钮")));
  EXPECT_EQ(GetControlText(kMainWindow, "编辑框1"), "");
}

TEST_F(MainWindowTest, TextTypedIntoThePathBoxFromOutsideEnablesExtract) {
  SendMessageW(Control("编辑框1"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\图标\\a.ico"));
  EXPECT_TRUE(IsWindowEnabled(Control("按钮1")));
  EXPECT_EQ(GetControlText(kMainWindow, "编辑框1"), "C:\\图标\\a.ico");
}

TEST_F(MainWindowTest, FilesDroppedWritesThePathBox) {
  RaiseEvent(kMainWindow, "拖放对象1", event::kFilesDropped, EventArgs{"C:\\a.exe\r\nC:\\b.dll\r\n"});
  EXPECT_EQ(GetControlText(kMainWindow, "编辑框1"), "C:\\a.exe\r\nC:\\b.dll\r\n");
  EXPECT_TRUE(IsWindowEnabled(Control("按钮1")));
}

TEST(OutputFileName, ProgramDirectoryBackslashNumberIco) {
  const std::string directory = ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), '\\');
  EXPECT_EQ(OutputFileName(1), directory + "\\1.ico");
  EXPECT_EQ(OutputFileName(100), directory + "\\100.ico");
}

}  // namespace
}  // namespace kestrin
