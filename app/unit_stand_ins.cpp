// STAND-INS, TO BE REPLACED: the drop unit replaces the first block, the promotions unit the
// second. They let the main window load and run before those units exist.

#include "app/unit_stand_ins.h"

#include "services/win_text.h"
#include "services/window_loader.h"

namespace kestrin {

// ---- drop/ replaces this block.

namespace {

HWND CreateHiddenUnitWindow(ControlInstance& control, HWND host, int id) {
  const ControlDefinition& d = *control.definition;
  return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_CLIPSIBLINGS, d.left, d.top, d.width, d.height, host,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

void RegisterDropTargetType() {
  static const ControlTypeOps dropTarget{.create = CreateHiddenUnitWindow};
  RegisterControlType(control_type::kDropTarget, dropTarget);
}

bool RegisterDropWindow(const WindowDefinition&, std::string_view, HWND) { return false; }

}  // namespace kestrin
