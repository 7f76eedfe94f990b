#include "promo/details_window.h"

#include <windows.h>

#include <array>
#include <span>

#include "promo/details_texts.h"
#include "promo/picture_box.h"
#include "promo/project_links.h"
#include "promo/tab_control.h"
#include "services/window_loader.h"

namespace kestrin {
namespace {

using namespace control_type;
using control_option::kDefaultButton;
using control_option::kMultiline;
using control_option::kSingleLine;
using details_texts::kPageTitles;

constexpr std::uint32_t kRed = 0x0000FF;   // RGB(255, 0, 0) as 0x00BBGGRR
constexpr std::uint32_t kBlue = 0xFF0000;  // RGB(0, 0, 255)
constexpr std::string_view kTab1 = "选择夹1";
constexpr std::string_view kRegister = "注册帐号";
constexpr std::string_view kScreenshotCaption = "收入截图";
constexpr ControlState kShown{.visible = true};
constexpr ControlState kButtonState{.visible = true, .tabStop = true};
constexpr std::string_view kStatement = details_texts::kStatementText.view();

// A program resource of type RCDATA; resource memory lives as long as the program's module.
std::span<const std::byte> ProgramResource(const wchar_t* name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {};
  return {static_cast<const std::byte*>(bytes), SizeofResource(module, found)};
}

// Controls in the order of their table. Pages are those of 选择夹1; a control inside a group box
// has no page of its own (it is shown and hidden with its group box). Stacking among the tab's
// children follows the page lists, page 1 first, each list top first:
//   1: 透明标签9, 分组框2, 分组框1, 透明标签1      2: 分组框4, 透明标签4, 分组框3, 透明标签3
//   3: 透明标签6, 分组框5, 透明标签5              4: 透明标签8, 分组框6, 透明标签7
// Each description label lies above the group box of its page's button, each statement label below.
std::array<ControlDefinition, 21> MakeControls() {
  const auto picture1 = ProgramResource(L"PROJECT1_SCREENSHOT");
  const auto picture2 = ProgramResource(L"PROJECT2_SCREENSHOT");
  // Rows name only the fields they set; the others keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
  // clang-format off
  return {{
    {.name = "选择夹1", .type = kTab, .container = {}, .left = 0, .top = 0, .width = 648, .height = 504, .state = kShown, .items = kPageTitles},
    {.name = "透明标签1", .type = kTransLabel, .container = kTab1, .left = 9, .top = 23, .width = 623, .height = 32, .text = kStatement, .state = kShown, .page = 1, .stackRank = 4, .options = kSingleLine, .textColour = kRed},
    {.name = "分组框1", .type = kGroupBox, .container = kTab1, .left = 2, .top = 45, .width = 638, .height = 135, .state = kShown, .page = 1, .stackRank = 3},
    {.name = "按钮1", .type = kButton, .container = "分组框1", .left = 592, .top = 8, .width = 40, .height = 123, .text = kRegister, .state = kButtonState, .options = kDefaultButton | kMultiline},
    {.name = "透明标签9", .type = kTransLabel, .container = kTab1, .left = 8, .top = 55, .width = 576, .height = 125, .text = details_texts::kDescription1.view(), .state = kShown, .page = 1, .stackRank = 1, .textColour = kBlue},
    {.name = "分组框2", .type = kGroupBox, .container = kTab1, .left = 2, .top = 182, .width = 638, .height = 322, .text = kScreenshotCaption, .state = kShown, .page = 1, .stackRank = 2},
    {.name = "图片框1", .type = kPicBox, .container = "分组框2", .left = 6, .top = 18, .width = 624, .height = 296, .state = kShown, .data = picture1},
    {.name = "透明标签3", .type = kTransLabel, .container = kTab1, .left = 9, .top = 23, .width = 623, .height = 32, .text = kStatement, .state = kShown, .page = 2, .stackRank = 8, .options = kSingleLine, .textColour = kRed},
    {.name = "分组框3", .type = kGroupBox, .container = kTab1, .left = 2, .top = 45, .width = 638, .height = 135, .state = kShown, .page = 2, .stackRank = 7},
    {.name = "按钮2", .type = kButton, .container = "分组框3", .left = 545, .top = 8, .width = 85, .height = 123, .text = kRegister, .state = kButtonState, .options = kDefaultButton | kMultiline},
    {.name = "透明标签4", .type = kTransLabel, .container = kTab1, .left = 8, .top = 55, .width = 392, .height = 125, .text = details_texts::kDescription2.view(), .state = kShown, .page = 2, .stackRank = 6, .textColour = kBlue},
    {.name = "分组框4", .type = kGroupBox, .container = kTab1, .left = 2, .top = 182, .width = 638, .height = 322, .text = kScreenshotCaption, .state = kShown, .page = 2, .stackRank = 5},
    {.name = "图片框2", .type = kPicBox, .container = "分组框4", .left = 22, .top = 18, .width = 456, .height = 176, .state = kShown, .data = picture2},
    {.name = "透明标签5", .type = kTransLabel, .container = kTab1, .left = 9, .top = 23, .width = 623, .height = 32, .text = kStatement, .state = kShown, .page = 3, .stackRank = 11, .options = kSingleLine, .textColour = kRed},
    {.name = "分组框5", .type = kGroupBox, .container = kTab1, .left = 2, .top = 45, .width = 638, .height = 451, .state = kShown, .page = 3, .stackRank = 10},
    {.name = "按钮3", .type = kButton, .container = "分组框5", .left = 153, .top = 152, .width = 325, .height = 83, .text = kRegister, .state = kButtonState, .options = kDefaultButton | kMultiline},
    {.name = "透明标签6", .type = kTransLabel, .container = kTab1, .left = 8, .top = 55, .width = 616, .height = 125, .text = details_texts::kDescription3.view(), .state = kShown, .page = 3, .stackRank = 9, .textColour = kBlue},
    {.name = "透明标签7", .type = kTransLabel, .container = kTab1, .left = 9, .top = 23, .width = 623, .height = 32, .text = kStatement, .state = kShown, .page = 4, .stackRank = 14, .options = kSingleLine, .textColour = kRed},
    {.name = "分组框6", .type = kGroupBox, .container = kTab1, .left = 2, .top = 45, .width = 638, .height = 451, .state = kShown, .page = 4, .stackRank = 13},
    {.name = "按钮4", .type = kButton, .container = "分组框6", .left = 153, .top = 152, .width = 328, .height = 83, .text = kRegister, .state = kButtonState, .options = kDefaultButton | kMultiline},
    {.name = "透明标签8", .type = kTransLabel, .container = kTab1, .left = 8, .top = 55, .width = 528, .height = 125, .text = details_texts::kDescription4.view(), .state = kShown, .page = 4, .stackRank = 12, .textColour = kBlue},
  }};
  // clang-format on
#pragma GCC diagnostic pop
}

// Only the four register buttons have handlers.
constexpr EventBinding kEvents[] = {
    {"按钮1", event::kClicked, &OpenRegistration<1>},
    {"按钮2", event::kClicked, &OpenRegistration<2>},
    {"按钮3", event::kClicked, &OpenRegistration<3>},
    {"按钮4", event::kClicked, &OpenRegistration<4>},
};

constexpr WindowProperties kProperties{
    .name = "项目详情窗口",
    .className = {},  // the loader's choice
    .caption = "项目详情",
    .width = 650,
    .height = 527,
    .centred = true,  // the stored place (50, 50) is not used
    .style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,  // fixed frame, close box only
    .exStyle = 0,
    .classStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
};

}  // namespace

const WindowDefinition& DetailsWindow() {
  static const std::array<ControlDefinition, 21> controls = MakeControls();
  static const WindowDefinition window{kProperties, controls, kEvents};
  return window;
}

void ShowProjectDetails() {
  RegisterBuiltInControlTypes();
  RegisterTabControlType();
  RegisterPictureBoxType();
  LoadWindow(DetailsWindow(), nullptr, true);
}

}  // namespace kestrin
