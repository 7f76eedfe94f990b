// The DropTarget control type in a window built by the window loader: the unit is created hidden
// whatever its definition says, the created handler registers the window, a drop raises
// FilesDropped to the handler the window binds.

#include "drop/drop_target.h"
#include "drop/drop_target_type.h"

#include "drag_data_object.h"
#include "services/window_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrin {
namespace {

extern const WindowDefinition kDropWindow;

bool registeredInCreated = false;
std::vector<std::string> dropped;

void OnCreated(const EventArgs&) { registeredInCreated = RegisterDropWindow(kDropWindow, "拖放对象1", WindowHandle(kDropWindow)); }
void OnFilesDropped(const EventArgs& args) { dropped.emplace_back(args.text); }

// Visible in its definition: the unit must stay hidden all the same.
constexpr ControlDefinition kControls[] = {
    Control("拖放对象1", control_type::kDropTarget, "", 16, 72, 24, 24, "", ControlState{.visible = true}),
};
constexpr EventBinding kEvents[] = {
    {"", event::kCreated, OnCreated},
    {"拖放对象1", event::kFilesDropped, OnFilesDropped},
};
constinit const WindowDefinition kDropWindow{
    WindowProperties{.name = "drop test", .className = "", .caption = "drop test", .width = 200, .height = 150,
                     .centred = true, .left = 0, .top = 0, .style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                     .exStyle = 0, .classStyle = 0},
    kControls, kEvents};

class LoadedDropWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    RegisterDropTargetType();
    registeredInCreated = false;
    dropped.clear();
    ASSERT_TRUE(LoadWindow(kDropWindow));
  }
  void TearDown() override {
    if (HWND window = WindowHandle(kDropWindow)) {
      DestroyWindow(window);
    }
    OleUninitialize();
  }
};

TEST_F(LoadedDropWindow, UnitIsHiddenChildRegisteredByTheCreatedHandler) {
  const HWND window = WindowHandle(kDropWindow);
  DropTarget* unit = FindDropTarget(kDropWindow, "拖放对象1");
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(GetParent(unit->window()), window);
  EXPECT_EQ(ControlWindow(kDropWindow, "拖放对象1"), unit->window());
  EXPECT_FALSE(IsWindowVisible(unit->window()));
  EXPECT_TRUE(registeredInCreated);
  EXPECT_EQ(unit->registeredWindow(), window);
  EXPECT_FALSE(RegisterDropWindow(kDropWindow, "拖放对象1", window));
  EXPECT_FALSE(RegisterDropWindow(kDropWindow, "no such unit", window));
}

TEST_F(LoadedDropWindow, DropRaisesFilesDroppedToTheBoundHandler) {
  DropTarget* unit = FindDropTarget(kDropWindow, "拖放对象1");
  ASSERT_NE(unit, nullptr);
  auto data = testing::MakeDragDataObject({std::vector<std::wstring>{L"C:\\x\\\u56fe\u6807.ico"}, std::nullopt});
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(unit->sink()->DragEnter(data.Get(), 0, {5, 5}, &effect), S_OK);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(unit->sink()->Drop(data.Get(), 0, {5, 5}, &effect), E_FAIL);
  EXPECT_THAT(dropped, ::testing::ElementsAre("C:\\x\\\xe5\x9b\xbe\xe6\xa0\x87.ico"));
}

TEST_F(LoadedDropWindow, ClosingTheWindowRevokesItsRegistration) {
  const HWND window = WindowHandle(kDropWindow);
  ASSERT_NE(FindDropTarget(kDropWindow, "拖放对象1"), nullptr);
  // Destroying the unit's window alone (as the host's destruction does first) ends the unit.
  DestroyWindow(ControlWindow(kDropWindow, "拖放对象1"));
  EXPECT_EQ(FindDropTarget(kDropWindow, "拖放对象1"), nullptr);
  EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
}

}  // namespace
}  // namespace kestrin
