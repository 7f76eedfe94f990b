#pragma once
// The main window's properties and control table, as data. Header-only so that test drivers can
// find the controls by name (window id = row in the table) without linking the program.

#include <windows.h>

#include <array>
#include <string_view>

#include "services/window_definition.h"

namespace kestrin {

inline constexpr WindowProperties kMainWindowProperties{
    .name = "主窗口",
    .className = "图标提取",
    .caption = "KestrinIOC图标提取工具",
    .width = 380,
    .height = 323,
    .centred = true,
    .style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,  // fixed frame, no minimise or maximise box
    .exStyle = 0,
    .classStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
};

// The eight lines of 透明标签1, joined by CR LF.
inline constexpr std::string_view kProjectSummaries =
    "                        推荐项目1\r\n"
    "  玩游戏可以免费赚钱，对网上赚钱有兴趣的朋友可以尝试下，利用空闲时间就可以赚到钱了。\r\n"
    "                        推荐项目2\r\n"
    "  打验证码和挂机就可以免费赚钱，会打字就行。打字快的一小时可以打3-4元钱，每天花2小时轻松收入10元钱。\r\n"
    "                        推荐项目3\r\n"
    "  想冲Q钻又不想花钱？推荐一个超赞的网站，每天轻松赚个二三十元，邀请好友还有超高提成奖励。\r\n"
    "                        推荐项目4\r\n"
    "  只要你有淘宝小号就可以免费赚钱，利用淘宝小号给别人刷淘宝收藏和流量就可以赚钱。淘宝小号越多赚的越多。";

namespace main_window_state {
inline constexpr ControlState kShown{.visible = true};
inline constexpr ControlState kHidden{.visible = false};
inline constexpr ControlState kButton{.visible = true, .tabStop = true};
inline constexpr ControlState kDisabledButton{.visible = true, .disabled = true, .tabStop = true};
inline constexpr ControlState kPathBox{.visible = true, .tabStop = true, .readOnly = true};
}  // namespace main_window_state

// In creation order, which is also the stacking order among siblings (first on top). Controls in a
// group box are re-parented to it after all exist, keeping their coordinates.
inline constexpr std::array<ControlDefinition, 13> kMainWindowControls{
    // name        type                      container  left  top  width height text              state
    Control("按钮2", control_type::kButton, "分组框1", 263, 15, 91, 30, "了解项目详情", main_window_state::kButton),
    Control("按钮3", control_type::kButton, "分组框1", 263, 50, 91, 30, "推荐项目1注册", main_window_state::kButton),
    Control("按钮4", control_type::kButton, "分组框1", 263, 83, 91, 30, "推荐项目2注册", main_window_state::kButton),
    Control("按钮5", control_type::kButton, "分组框1", 263, 116, 91, 30, "推荐项目3注册", main_window_state::kButton),
    Control("按钮6", control_type::kButton, "分组框1", 263, 150, 91, 30, "推荐项目4注册", main_window_state::kButton),
    Control("透明标签1", control_type::kTransLabel, "分组框1", 3, 10, 256, 184, kProjectSummaries, main_window_state::kShown),
    Control("分组框1", control_type::kGroupBox, "", 5, 102, 360, 194, "", main_window_state::kShown),
    Control("拖放对象1", control_type::kDropTarget, "", 16, 72, 24, 24, "", main_window_state::kHidden),
    Control("标签1", control_type::kLabel, "", 24, 8, 328, 24, "拖放文件至本窗口,支持扩展名为EXE、DLL、ICL、ICO的文件",
     main_window_state::kShown),
    Control("删除按钮", control_type::kButton, "", 272, 72, 88, 24, "删除所有图标", main_window_state::kDisabledButton),
    Control("按钮1", control_type::kButton, "", 208, 72, 56, 24, "提取", main_window_state::kDisabledButton),
    Control("编辑框1", control_type::kEditBox, "", 16, 32, 352, 24, "", main_window_state::kPathBox),
    Control("分组框2", control_type::kGroupBox, "", 4, -1, 368, 104, "", main_window_state::kShown),
};

}  // namespace kestrin
