#include "promo/tab_control.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "services/win_text.h"
#include "services/window_loader.h"

namespace kestrin {
namespace {

// Posted to the tab once the window is built: repaints the pages through the message loop. The
// first painting of a new window can run its children top of the stacking order first (Wine's
// UpdateWindow does), so a group box would fill its interior over a transparent label above it
// that had already drawn; painting from the message loop draws a transparent control after the
// controls below it.
constexpr UINT kRepaintPages = WM_APP + 0x4B;

// The page lists of one tab control: pages[p] holds the controls placed directly on page p + 1, top
// of the stacking order first.
struct TabPages {
  std::vector<std::vector<ControlInstance*>> pages;
};

TabPages* PagesOf(ControlInstance& tab) { return static_cast<TabPages*>(tab.typeData); }

bool TakesFocus(const ControlInstance& control) {
  const std::string_view type = control.definition->type;
  return type == control_type::kButton || type == control_type::kEditBox;
}

void SwitchPage(ControlInstance& tab) {
  TabPages* pages = PagesOf(tab);
  if (pages == nullptr) return;
  const LRESULT selected = SendMessageW(tab.hwnd, TCM_GETCURSEL, 0, 0);
  const std::size_t current = selected < 0 ? pages->pages.size() : static_cast<std::size_t>(selected);
  for (std::size_t p = 0; p < pages->pages.size(); ++p) {
    if (p == current) continue;
    for (ControlInstance* control : pages->pages[p]) {
      if (IsWindowVisible(control->hwnd)) ShowWindow(control->hwnd, SW_HIDE);
    }
  }
  if (current >= pages->pages.size()) return;
  ControlInstance* focus = nullptr;
  for (ControlInstance* control : pages->pages[current]) {
    if (!control->definition->state.visible) continue;
    ShowWindow(control->hwnd, SW_SHOWNA);
    if (TakesFocus(*control) && IsWindowEnabled(control->hwnd) &&
        (focus == nullptr || control->identity.control < focus->identity.control)) {
      focus = control;
    }
  }
  if (focus != nullptr) SetFocus(focus->hwnd);
}

HWND CreateTab(ControlInstance& control, HWND host, int id) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);
  const ControlDefinition& d = *control.definition;
  // No WS_CLIPCHILDREN: the transparent labels on the pages show the tab's own painting.
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | TCS_TABS | TCS_SINGLELINE | (d.state.tabStop ? WS_TABSTOP : 0u);
  HWND hwnd = CreateWindowExW(0, WC_TABCONTROLW, L"", style, d.left, d.top, d.width, d.height, host,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) return nullptr;
  for (std::size_t i = 0; i < d.items.size(); ++i) {
    std::wstring title = Wide(d.items[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    SendMessageW(hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  auto pages = std::make_unique<TabPages>();
  pages->pages.resize(d.items.size());
  control.typeData = pages.release();
  return hwnd;
}

// Collects the page lists once every control exists, selects page 1 and runs the page switch.
void FinishTab(ControlInstance& tab) {
  TabPages* pages = PagesOf(tab);
  if (pages == nullptr) return;
  std::vector<ControlInstance*> placed;
  for (const auto& control : tab.window->controls) {
    const ControlDefinition& d = *control->definition;
    if (d.container == tab.definition->name && d.page >= 1 &&
        static_cast<std::size_t>(d.page) <= pages->pages.size()) {
      placed.push_back(control.get());
    }
  }
  std::stable_sort(placed.begin(), placed.end(), [](const ControlInstance* a, const ControlInstance* b) {
    return a->definition->stackRank < b->definition->stackRank;
  });
  for (ControlInstance* control : placed) {
    pages->pages[static_cast<std::size_t>(control->definition->page - 1)].push_back(control);
  }
  SendMessageW(tab.hwnd, TCM_SETCURSEL, 0, 0);
  SwitchPage(tab);
  PostMessageW(tab.hwnd, kRepaintPages, 0, 0);
}

bool TabMessage(ControlInstance& tab, UINT message, WPARAM, LPARAM, LRESULT* result) {
  if (message != kRepaintPages) return false;
  RedrawWindow(tab.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  *result = 0;
  return true;
}

LRESULT TabNotify(ControlInstance& tab, const NMHDR& header) {
  if (header.code == static_cast<UINT>(TCN_SELCHANGE)) {
    SwitchPage(tab);
    RaiseEvent(tab.identity, event::kPageChanged);
  }
  return 0;
}

void DestroyTab(ControlInstance& tab) {
  delete PagesOf(tab);
  tab.typeData = nullptr;
}

}  // namespace

void RegisterTabControlType() {
  static const ControlTypeOps tab{
      .create = CreateTab, .notify = TabNotify, .finish = FinishTab, .message = TabMessage, .destroy = DestroyTab};
  RegisterControlType(control_type::kTab, tab);
}

}  // namespace kestrin
