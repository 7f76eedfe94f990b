// The window loader and the run-time services on small test definitions: event dispatch,
// SetControlText's content changed event, the created event, modal loading, the message box and
// the delay.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "services/runtime.h"
#include "window_test_support.h"

namespace kestrin {
namespace {

// What the handlers saw.
struct Record {
  int contentChanged = 0;
  std::string textSeen;
  int clicked = 0;
  int innerClicked = 0;
  int created = 0;
  bool visibleAtCreated = true;
  bool controlsAtCreated = false;
} record;

extern const WindowDefinition kTestWindow;
extern const WindowDefinition kOtherWindow;
extern const WindowDefinition kModalWindow;

void OnChanged(const EventArgs&) {
  ++record.contentChanged;
  record.textSeen = GetControlText(kTestWindow, "编辑框");
}
void OnClicked(const EventArgs&) { ++record.clicked; }
void OnInnerClicked(const EventArgs&) { ++record.innerClicked; }
void OnCreated(const EventArgs&) {
  ++record.created;
  HWND window = WindowHandle(kTestWindow);
  record.visibleAtCreated = window == nullptr || IsWindowVisible(window);
  record.controlsAtCreated = window != nullptr && ControlWindow(kTestWindow, "内按钮") != nullptr &&
                             GetParent(ControlWindow(kTestWindow, "内按钮")) == ControlWindow(kTestWindow, "分组框");
}

constexpr ControlState kShown{.visible = true};
constexpr ControlState kTab{.visible = true, .tabStop = true};

constexpr ControlDefinition kTestControls[] = {
    Control("编辑框", control_type::kEditBox, "", 10, 10, 200, 24, "初始", kTab),
    Control("按钮", control_type::kButton, "", 10, 40, 80, 24, "按钮", kTab),
    Control("内按钮", control_type::kButton, "分组框", 10, 20, 80, 24, "内", kTab),
    Control("分组框", control_type::kGroupBox, "", 10, 70, 200, 60, "组", kShown),
};
constexpr EventBinding kTestEvents[] = {
    {"", event::kCreated, OnCreated},
    {"编辑框", event::kContentChanged, OnChanged},
    {"按钮", event::kClicked, OnClicked},
    {"内按钮", event::kClicked, OnInnerClicked},
};
constexpr WindowProperties Properties(std::string_view name, std::int32_t left) {
  return WindowProperties{.name = name,
                          .className = {},
                          .caption = name,
                          .width = 300,
                          .height = 200,
                          .centred = false,
                          .left = left,
                          .top = 50,
                          .style = WS_CAPTION | WS_SYSMENU,
                          .exStyle = 0,
                          .classStyle = 0};
}
constinit const WindowDefinition kTestWindow{Properties("测试窗口", 20), kTestControls, kTestEvents};
constinit const WindowDefinition kOtherWindow{Properties("另一窗口", 340), {}, {}};

// The modal window has a probe control whose destruction records the other windows' state.
struct ModalRecord {
  bool testWindowDisabled = false;
  bool otherWindowDisabled = false;
  HWND owner = nullptr;
  HWND activeAfterHandOff = nullptr;
  bool testWindowEnabledAtDestroy = false;
  bool closed = false;
} modal;

HWND CreateProbe(ControlInstance& control, HWND host, int id) {
  const ControlDefinition& d = *control.definition;
  return CreateWindowExW(0, L"STATIC", L"", WS_CHILD, d.left, d.top, d.width, d.height, host,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}
void DestroyProbe(ControlInstance&) { modal.testWindowEnabledAtDestroy = IsWindowEnabled(WindowHandle(kTestWindow)) != FALSE; }

constexpr ControlDefinition kModalControls[] = {Control("探针", "TestProbe", "", 0, 0, 10, 10, "", kShown)};
constinit const WindowDefinition kModalWindow{Properties("模态窗口", 100), kModalControls, {}};

void CALLBACK InspectModal(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND window = WindowHandle(kModalWindow);
  modal.testWindowDisabled = !IsWindowEnabled(WindowHandle(kTestWindow));
  modal.otherWindowDisabled = !IsWindowEnabled(WindowHandle(kOtherWindow));
  modal.owner = GetWindow(window, GW_OWNER);
  SetActiveWindow(WindowHandle(kTestWindow));
  modal.activeAfterHandOff = GetActiveWindow();
  modal.closed = true;
  PostMessageW(window, WM_CLOSE, 0, 0);
}

class WindowLoaderTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterBuiltInControlTypes();
    static const ControlTypeOps probe{.create = CreateProbe, .destroy = DestroyProbe};
    RegisterControlType("TestProbe", probe);
  }
  void SetUp() override {
    record = Record{};
    ASSERT_TRUE(LoadWindow(kTestWindow));
  }
  void TearDown() override {
    test::Unload(kModalWindow);
    test::Unload(kOtherWindow);
    test::Unload(kTestWindow);
  }
};

TEST_F(WindowLoaderTest, SetControlTextRaisesContentChangedExactlyOnceAlsoForAnEqualText) {
  const char* texts[] = {"abc", "abc", "", "", "图标"};
  int expected = 0;
  for (const char* text : texts) {
    SetControlText(kTestWindow, "编辑框", text);
    ++expected;
    EXPECT_EQ(record.contentChanged, expected) << "after writing \"" << text << "\"";
    EXPECT_EQ(record.textSeen, text) << "the handler runs after the write, before the call returns";
  }
  test::DrainMessages();
  EXPECT_EQ(record.contentChanged, expected) << "nothing more arrives later";
}

TEST_F(WindowLoaderTest, AChangeFromOutsideRaisesContentChangedOnce) {
  SendMessageW(ControlWindow(kTestWindow, "编辑框"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"外部"));
  test::DrainMessages();
  EXPECT_EQ(record.contentChanged, 1);
  EXPECT_EQ(record.textSeen, "外部");
}

TEST_F(WindowLoaderTest, ClicksReachTheirHandlersAlsoFromInsideAGroupBox) {
  SendMessageW(ControlWindow(kTestWindow, "按钮"), BM_CLICK, 0, 0);
  SendMessageW(ControlWindow(kTestWindow, "内按钮"), BM_CLICK, 0, 0);
  test::DrainMessages();
  EXPECT_EQ(record.clicked, 1);
  EXPECT_EQ(record.innerClicked, 1);
}

TEST_F(WindowLoaderTest, UnboundEventsDoNothing) {
  RaiseEvent(kTestWindow, "按钮", event::kContentChanged);  // bound event number of another control
  RaiseEvent(kTestWindow, "分组框", event::kClicked);       // a control without bindings
  RaiseEvent(kTestWindow, "无此控件", event::kClicked);
  RaiseEvent(ControlIdentity{0xFFFFFFFF, 2}, event::kClicked);  // no such loaded window
  SendMessageW(ControlWindow(kTestWindow, "分组框"), BM_CLICK, 0, 0);
  test::DrainMessages();
  EXPECT_EQ(record.contentChanged, 0);
  EXPECT_EQ(record.clicked, 0);
  EXPECT_EQ(record.innerClicked, 0);
}

TEST_F(WindowLoaderTest, CreatedComesOnceAfterTheControlsAndBeforeTheFirstShow) {
  EXPECT_EQ(record.created, 1);
  EXPECT_FALSE(record.visibleAtCreated);
  EXPECT_TRUE(record.controlsAtCreated) << "controls exist and are re-parented when created fires";
  EXPECT_TRUE(IsWindowVisible(WindowHandle(kTestWindow)));
}

TEST_F(WindowLoaderTest, LoadingALoadedWindowMakesNoSecondCopy) {
  HWND first = WindowHandle(kTestWindow);
  ShowWindow(first, SW_MINIMIZE);
  EXPECT_TRUE(LoadWindow(kTestWindow));
  EXPECT_EQ(WindowHandle(kTestWindow), first);
  EXPECT_FALSE(IsIconic(first)) << "a minimised window is restored";
  EXPECT_EQ(record.created, 1);
  EXPECT_EQ(e2e::TopLevelWindowsOf(GetCurrentProcessId()).size(), 1u);
}

TEST_F(WindowLoaderTest, SetControlDisabledStoresAndApplies) {
  SetControlDisabled(kTestWindow, "按钮", true);
  EXPECT_FALSE(IsWindowEnabled(ControlWindow(kTestWindow, "按钮")));
  EXPECT_TRUE(FindLoadedWindow(kTestWindow)->Find("按钮")->disabled);
  SetControlDisabled(kTestWindow, "按钮", false);
  EXPECT_TRUE(IsWindowEnabled(ControlWindow(kTestWindow, "按钮")));
}

TEST_F(WindowLoaderTest, ModalWindowDisablesTheOthersAndRestoresThemBeforeItIsDestroyed) {
  ASSERT_TRUE(LoadWindow(kOtherWindow));
  EnableWindow(WindowHandle(kOtherWindow), FALSE);  // already disabled: stays so afterwards
  modal = ModalRecord{};
  SetTimer(nullptr, 0, 50, InspectModal);
  EXPECT_TRUE(LoadWindow(kModalWindow, WindowHandle(kTestWindow), true));
  // LoadWindow returned only after the window was closed.
  EXPECT_TRUE(modal.closed);
  EXPECT_EQ(WindowHandle(kModalWindow), nullptr);
  EXPECT_TRUE(modal.testWindowDisabled);
  EXPECT_TRUE(modal.otherWindowDisabled);
  EXPECT_EQ(modal.owner, ToolWindow()) << "owned by the hidden tool window, whatever the parent";
  EXPECT_NE(modal.activeAfterHandOff, WindowHandle(kTestWindow)) << "a disabled window hands the activation on";
  EXPECT_TRUE(modal.testWindowEnabledAtDestroy) << "states come back before the modal window is destroyed";
  EXPECT_TRUE(IsWindowEnabled(WindowHandle(kTestWindow)));
  EXPECT_FALSE(IsWindowEnabled(WindowHandle(kOtherWindow)));
}

TEST_F(WindowLoaderTest, MessageLoopEndsWhenTheLastWindowIsDestroyed) {
  ASSERT_TRUE(LoadWindow(kOtherWindow));
  PostMessageW(WindowHandle(kOtherWindow), WM_CLOSE, 0, 0);
  PostMessageW(WindowHandle(kTestWindow), WM_CLOSE, 0, 0);
  RunMessageLoop();  // returns: both are gone
  EXPECT_EQ(WindowHandle(kTestWindow), nullptr);
  EXPECT_EQ(WindowHandle(kOtherWindow), nullptr);
  RunMessageLoop();  // nothing loaded: returns at once
}

TEST_F(WindowLoaderTest, DelayProcessesNoMessages) {
  PostMessageW(ControlWindow(kTestWindow, "按钮"), BM_CLICK, 0, 0);
  Delay(100);
  Delay(-5);
  EXPECT_EQ(record.clicked, 0);
  MSG message;
  EXPECT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) << "the click is still queued";
  test::DrainMessages();
  EXPECT_EQ(record.clicked, 1);
}

struct BoxSeen {
  bool found = false;
  e2e::MessageBoxInfo info;
  bool windowDisabled = false;
} box;

void CALLBACK InspectBox(HWND, UINT, UINT_PTR timer, DWORD) {
  auto info = e2e::FindMessageBox(GetCurrentProcessId());
  if (!info) return;  // not yet shown
  KillTimer(nullptr, timer);
  box.found = true;
  box.info = *info;
  box.windowDisabled = !IsWindowEnabled(WindowHandle(kTestWindow));
  PostMessageW(info->hwnd, WM_COMMAND, IDOK, 0);
}

TEST_F(WindowLoaderTest, ShowMessageIsATaskModalInformationBoxWithOkOnly) {
  box = BoxSeen{};
  SetTimer(nullptr, 0, 50, InspectBox);
  ShowMessage("提取成功");
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.info.caption, "信息：");
  EXPECT_EQ(box.info.text, "提取成功");
  EXPECT_EQ(box.info.buttons.size(), 1u);
  EXPECT_FALSE(box.info.hasIcon);
  EXPECT_EQ(box.info.owner, nullptr);
  EXPECT_TRUE(box.windowDisabled) << "task-modal: the thread's windows are disabled";
  EXPECT_TRUE(IsWindowEnabled(WindowHandle(kTestWindow)));
}

TEST(RemoveFile, DeletesAndReportsMissingFiles) {
  wchar_t directory[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, directory);
  const std::string path = e2e::Narrow(directory) + "kestrin-删除-" + std::to_string(GetCurrentProcessId()) + ".ico";
  HANDLE file = CreateFileW(e2e::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(RemoveFile(path));
  EXPECT_FALSE(e2e::FileExists(path));
  EXPECT_FALSE(RemoveFile(path));
}

}  // namespace
}  // namespace kestrin
