#include "drop/drop_target.h"

#include <new>
#include <utility>

namespace kestrin {
namespace {

constexpr wchar_t kWindowClass[] = L"KestrinDropTarget";

bool RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

DropTarget::DropTarget(HWND host, DropTargetIdentity identity, FilesDroppedHandler onFilesDropped, GoneHandler onGone)
    : host_(host),
      identity_(identity),
      sink_(new DropTargetSink(*this)),
      onFilesDropped_(std::move(onFilesDropped)),
      onGone_(std::move(onGone)) {}

DropTarget::~DropTarget() {
  sink_->Release();
}

DropTarget* DropTarget::Create(HWND host, DropTargetIdentity identity, int left, int top, int width, int height,
                               FilesDroppedHandler onFilesDropped, GoneHandler onGone) {
  if (host == nullptr || !RegisterWindowClass(&DropTarget::WindowProcedure)) {
    return nullptr;
  }
  auto* unit = new (std::nothrow) DropTarget(host, identity, std::move(onFilesDropped), std::move(onGone));
  if (unit == nullptr) {
    return nullptr;
  }
  // Never WS_VISIBLE: the window takes no input and draws nothing.
  const HWND window = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS, left, top, width, height,
                                      host, nullptr, GetModuleHandleW(nullptr), unit);
  if (window == nullptr) {
    delete unit;  // a window that failed half-way left the unit alone
    return nullptr;
  }
  unit->ownedByWindow_ = true;
  return unit;
}

bool DropTarget::RegisterDropWindow(HWND window) {
  if (registeredWindow_ != nullptr) {
    return false;
  }
  registeredWindow_ = window;
  sink_->SetRegisteredWindow(window);
  return RegisterDragDrop(window, sink_) == S_OK;
}

void DropTarget::FilesDropped(const std::string& text) {
  if (onFilesDropped_) {
    onFilesDropped_(*this, text);
  }
}

LRESULT CALLBACK DropTarget::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* unit = static_cast<DropTarget*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    unit->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(unit));
  } else if (message == WM_NCDESTROY) {
    auto* unit = reinterpret_cast<DropTarget*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (unit != nullptr && unit->ownedByWindow_) {
      if (unit->onGone_) {
        unit->onGone_(*unit);
      }
      // The host's registration, not the recorded window's: the two are the same in this program.
      RevokeDragDrop(unit->host_);
      delete unit;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kestrin
