#include "services/window_loader.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "services/runtime.h"
#include "services/win_text.h"

// Loading a window:
//  1. A window already loaded is restored when minimised, else activated; nothing else happens.
//  2. The window class is registered on first use (default window procedure, arrow cursor, null
//     brush, the program's DEFAULT_ICON); the window is created hidden at its place (centred with
//     integer division), owned by `parent`, or by the hidden tool window when modal.
//  3. The controls are created in table order in the window, then re-parented to their containers
//     (keeping their coordinates), stacked among their siblings (rank, then table order, first on
//     top) and made visible as their state says (a control on page 2 or later starts hidden).
//  4. Each control type's `finish` runs, the window's created event is raised, the window is shown.
//  5. Modal: every other loaded window is disabled, its enabled state remembered; a nested loop runs
//     until the window is gone. Closing the window restores the remembered states before the window
//     is destroyed; a disabled window that becomes active hands the activation to the modal one.
// Messages reach controls through one subclass procedure per kind (window, control), which routes a
// child's WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* to the child's control type wherever the child was
// re-parented.

namespace kestrin {

namespace {

constexpr wchar_t kDefaultClassName[] = L"KestrinWindow";
constexpr wchar_t kToolClassName[] = L"KestrinToolWindow";
constexpr wchar_t kControlProperty[] = L"KestrinControl";  // on each control window: its ControlInstance

struct RegisteredType {
  std::string name;
  ControlTypeOps ops;
};

struct ModalFrame {
  std::uint32_t window = 0;
  HWND hwnd = nullptr;
  std::vector<std::pair<HWND, bool>> remembered;  // window, was enabled
  bool restored = false;
};

// GUI-thread state.
std::vector<std::unique_ptr<RegisteredType>>& Types() {
  static std::vector<std::unique_ptr<RegisteredType>> types;
  return types;
}
std::vector<std::unique_ptr<LoadedWindow>>& Loaded() {
  static std::vector<std::unique_ptr<LoadedWindow>> loaded;
  return loaded;
}
std::vector<ModalFrame*>& ModalFrames() {
  static std::vector<ModalFrame*> frames;
  return frames;
}
std::uint32_t nextWindowId = 1;
HWND toolWindow = nullptr;

LoadedWindow* FindLoadedById(std::uint32_t id) {
  for (auto& window : Loaded()) {
    if (window->id == id) return window.get();
  }
  return nullptr;
}

LoadedWindow* FindLoadedByDefinition(const WindowDefinition& definition) {
  for (auto& window : Loaded()) {
    if (window->definition == &definition) return window.get();
  }
  return nullptr;
}

void RestoreRemembered(ModalFrame& frame) {
  if (frame.restored) return;
  frame.restored = true;
  for (const auto& [hwnd, wasEnabled] : frame.remembered) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, wasEnabled ? TRUE : FALSE);
  }
}

ModalFrame* FrameOf(HWND hwnd) {
  for (ModalFrame* frame : ModalFrames()) {
    if (frame->hwnd == hwnd) return frame;
  }
  return nullptr;
}

LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* from one of our controls, to the control's type.
bool RouteFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND: {
      ControlInstance* child = lParam != 0 ? FindControl(reinterpret_cast<HWND>(lParam)) : nullptr;
      if (child == nullptr || child->type->command == nullptr) return false;
      child->type->command(*child, HIWORD(wParam));
      *result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      ControlInstance* child = header != nullptr ? FindControl(header->hwndFrom) : nullptr;
      if (child == nullptr || child->type->notify == nullptr) return false;
      *result = child->type->notify(*child, *header);
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
      ControlInstance* child = FindControl(reinterpret_cast<HWND>(lParam));
      if (child == nullptr || child->type->colours == nullptr) return false;
      HBRUSH brush = child->type->colours(*child, reinterpret_cast<HDC>(wParam));
      if (brush == nullptr) return false;
      *result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    default:
      return false;
  }
}

LRESULT WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (RouteFromChild(message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_CLOSE:
      if (ModalFrame* frame = FrameOf(hwnd)) {
        RestoreRemembered(*frame);
        DestroyWindow(hwnd);
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !ModalFrames().empty() && !IsWindowEnabled(hwnd)) {
        HWND modal = ModalFrames().back()->hwnd;
        if (modal != hwnd && IsWindow(modal)) {
          SetActiveWindow(modal);
          return 0;
        }
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  try {
    auto* window = reinterpret_cast<LoadedWindow*>(data);
    if (message == WM_NCDESTROY) {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      RemoveWindowSubclass(hwnd, WindowProc, 0);
      auto& loaded = Loaded();
      std::erase_if(loaded, [&](const std::unique_ptr<LoadedWindow>& w) { return w.get() == window; });
      if (loaded.empty()) PostQuitMessage(0);
      return result;
    }
    return WindowMessage(hwnd, message, wParam, lParam);
  } catch (...) {
    FatalError("窗口消息处理失败");
  }
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  try {
    auto* control = reinterpret_cast<ControlInstance*>(data);
    if (message == WM_NCDESTROY) {
      if (control->type->destroy != nullptr) control->type->destroy(*control);
      control->hwnd = nullptr;
      RemovePropW(hwnd, kControlProperty);
      RemoveWindowSubclass(hwnd, ControlProc, 0);
      return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (control->type->message != nullptr && control->type->message(*control, message, wParam, lParam, &result)) {
      return result;
    }
    if (RouteFromChild(message, wParam, lParam, &result)) return result;
    return DefSubclassProc(hwnd, message, wParam, lParam);
  } catch (...) {
    FatalError("控件消息处理失败");
  }
}

bool RegisterWindowClass(const WindowDefinition& definition, const std::wstring& className) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, className.c_str(), &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = definition.properties.classStyle;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                    GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.lpszClassName = className.c_str();
  return RegisterClassExW(&windowClass) != 0;
}

// Sets each parent's children into their stacking order: rank, then table order, first on top.
void StackControls(LoadedWindow& window) {
  std::vector<ControlInstance*> order;
  for (auto& control : window.controls) order.push_back(control.get());
  std::stable_sort(order.begin(), order.end(), [](const ControlInstance* a, const ControlInstance* b) {
    return a->definition->stackRank < b->definition->stackRank;
  });
  std::vector<std::pair<HWND, HWND>> lastOfParent;  // parent, last placed child
  for (ControlInstance* control : order) {
    HWND parent = GetParent(control->hwnd);
    auto last = std::find_if(lastOfParent.begin(), lastOfParent.end(), [&](const auto& p) { return p.first == parent; });
    HWND after = HWND_TOP;
    if (last != lastOfParent.end()) {
      after = last->second;
      last->second = control->hwnd;
    } else {
      lastOfParent.emplace_back(parent, control->hwnd);
    }
    SetWindowPos(control->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
}

void DestroyHalfBuilt(std::uint32_t id) {
  if (LoadedWindow* window = FindLoadedById(id)) DestroyWindow(window->hwnd);
}

}  // namespace

ControlInstance* LoadedWindow::Find(std::string_view name) const {
  for (const auto& control : controls) {
    if (control->definition->name == name) return control.get();
  }
  return nullptr;
}

bool RegisterControlType(std::string_view name, const ControlTypeOps& ops) {
  if (FindControlType(name) != nullptr) return false;
  Types().push_back(std::make_unique<RegisteredType>(RegisteredType{std::string(name), ops}));
  return true;
}

const ControlTypeOps* FindControlType(std::string_view name) {
  for (const auto& type : Types()) {
    if (type->name == name) return &type->ops;
  }
  return nullptr;
}

bool CheckWindowDefinition(const WindowDefinition& window, std::string* problem) {
  const auto fail = [&](std::string text) {
    if (problem != nullptr) *problem = std::move(text);
    return false;
  };
  const auto& controls = window.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlDefinition& control = controls[i];
    if (control.name.empty()) return fail(JoinTexts({"控件无名称: 第", IntToText(static_cast<std::int64_t>(i + 1)), "行"}));
    for (std::size_t j = 0; j < i; ++j) {
      if (controls[j].name == control.name) return fail(JoinTexts({"控件名称重复: ", control.name}));
    }
    const ControlTypeOps* type = FindControlType(control.type);
    if (type == nullptr || type->create == nullptr) {
      return fail(JoinTexts({"未知的控件类型: ", control.type, " (", control.name, ")"}));
    }
    if (!control.container.empty()) {
      const std::int32_t row = ControlRow(window, control.container);
      if (row == 0 || control.container == control.name) {
        return fail(JoinTexts({"未知的容器: ", control.container, " (", control.name, ")"}));
      }
    }
  }
  for (const EventBinding& binding : window.events) {
    if (!binding.control.empty() && ControlRow(window, binding.control) == 0) {
      return fail(JoinTexts({"事件绑定到未知控件: ", binding.control}));
    }
  }
  return true;
}

bool LoadWindow(const WindowDefinition& definition, HWND parent, bool modal) {
  if (LoadedWindow* existing = FindLoadedByDefinition(definition)) {
    if (IsIconic(existing->hwnd)) {
      ShowWindow(existing->hwnd, SW_RESTORE);
    } else {
      SetActiveWindow(existing->hwnd);
    }
    return true;
  }
  if (!CheckWindowDefinition(definition, nullptr)) return false;

  const WindowProperties& properties = definition.properties;
  const std::wstring className =
      properties.className.empty() ? std::wstring(kDefaultClassName) : Wide(properties.className);
  if (!RegisterWindowClass(definition, className)) return false;

  int left = properties.left;
  int top = properties.top;
  if (properties.centred) {
    left = (GetSystemMetrics(SM_CXSCREEN) - properties.width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - properties.height) / 2;
  }
  HWND owner = modal ? ToolWindow() : parent;
  HWND hwnd = CreateWindowExW(properties.exStyle, className.c_str(), Wide(properties.caption).c_str(),
                              properties.style & ~static_cast<DWORD>(WS_VISIBLE), left, top, properties.width,
                              properties.height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) return false;

  auto owned = std::make_unique<LoadedWindow>();
  LoadedWindow* window = owned.get();
  window->id = nextWindowId++;
  window->definition = &definition;
  window->hwnd = hwnd;
  window->modal = modal;
  Loaded().push_back(std::move(owned));
  const std::uint32_t id = window->id;
  SetWindowSubclass(hwnd, WindowProc, 0, reinterpret_cast<DWORD_PTR>(window));
  for (const auto& [which, iconClassIndex] : {std::pair{ICON_BIG, GCLP_HICON}, std::pair{ICON_SMALL, GCLP_HICONSM}}) {
    const LONG_PTR icon = GetClassLongPtrW(hwnd, iconClassIndex);
    if (icon != 0) SendMessageW(hwnd, WM_SETICON, which, icon);
  }

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (std::size_t i = 0; i < definition.controls.size(); ++i) {
    const ControlDefinition& controlDefinition = definition.controls[i];
    auto control = std::make_unique<ControlInstance>();
    control->window = window;
    control->definition = &controlDefinition;
    control->type = FindControlType(controlDefinition.type);
    control->identity = ControlIdentity{id, static_cast<std::uint32_t>(i + 1)};
    control->disabled = controlDefinition.state.disabled;
    ControlInstance& instance = *control;
    window->controls.push_back(std::move(control));
    instance.hwnd = instance.type->create(instance, hwnd, static_cast<int>(i + 1));
    if (instance.hwnd == nullptr) {
      DestroyHalfBuilt(id);
      return false;
    }
    SetPropW(instance.hwnd, kControlProperty, &instance);
    SetWindowSubclass(instance.hwnd, ControlProc, 0, reinterpret_cast<DWORD_PTR>(&instance));
    SendMessageW(instance.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnableWindow(instance.hwnd, instance.disabled ? FALSE : TRUE);
  }
  for (auto& control : window->controls) {
    if (control->definition->container.empty()) continue;
    SetParent(control->hwnd, window->Find(control->definition->container)->hwnd);
  }
  StackControls(*window);
  for (auto& control : window->controls) {
    const bool visible = control->definition->state.visible && control->definition->page <= 1;
    ShowWindow(control->hwnd, visible ? SW_SHOWNA : SW_HIDE);
  }
  for (auto& control : window->controls) {
    if (control->type->finish != nullptr) control->type->finish(*control);
  }

  RaiseEvent(definition, {}, event::kCreated);
  if (FindLoadedById(id) == nullptr) return false;  // the created handler closed it
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  if (!modal) return true;

  ModalFrame frame;
  frame.window = id;
  frame.hwnd = hwnd;
  for (auto& other : Loaded()) {
    if (other->id == id) continue;
    frame.remembered.emplace_back(other->hwnd, IsWindowEnabled(other->hwnd) != FALSE);
    EnableWindow(other->hwnd, FALSE);
  }
  ModalFrames().push_back(&frame);
  MSG message;
  while (FindLoadedById(id) != nullptr) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  RestoreRemembered(frame);
  std::erase(ModalFrames(), &frame);
  return true;
}

HWND WindowHandle(const WindowDefinition& window) {
  const LoadedWindow* loaded = FindLoadedByDefinition(window);
  return loaded != nullptr ? loaded->hwnd : nullptr;
}

const LoadedWindow* FindLoadedWindow(const WindowDefinition& window) { return FindLoadedByDefinition(window); }

ControlInstance* FindControl(HWND controlWindow) {
  if (controlWindow == nullptr) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(controlWindow, &process);
  if (process != GetCurrentProcessId()) return nullptr;
  return static_cast<ControlInstance*>(GetPropW(controlWindow, kControlProperty));
}

namespace {

ControlInstance& RequireControl(const WindowDefinition& window, std::string_view name) {
  LoadedWindow* loaded = FindLoadedByDefinition(window);
  if (loaded == nullptr) FatalError(JoinTexts({"窗口未载入: ", window.properties.name}));
  ControlInstance* control = loaded->Find(name);
  if (control == nullptr || control->hwnd == nullptr) FatalError(JoinTexts({"控件不存在: ", name}));
  return *control;
}

}  // namespace

HWND ControlWindow(const WindowDefinition& window, std::string_view control) {
  return RequireControl(window, control).hwnd;
}

std::string GetControlText(const WindowDefinition& window, std::string_view control) {
  return WindowText(RequireControl(window, control).hwnd);
}

void SetControlText(const WindowDefinition& window, std::string_view control, std::string_view text) {
  ControlInstance& instance = RequireControl(window, control);
  if (instance.type->setText != nullptr) {
    instance.type->setText(instance, text);
  } else {
    SetWindowTextW(instance.hwnd, Wide(text).c_str());
  }
}

void SetControlDisabled(const WindowDefinition& window, std::string_view control, bool disabled) {
  ControlInstance& instance = RequireControl(window, control);
  instance.disabled = disabled;
  EnableWindow(instance.hwnd, disabled ? FALSE : TRUE);
}

void RaiseEvent(const WindowDefinition& window, std::string_view control, EventNumber event, const EventArgs& args) {
  for (const EventBinding& binding : window.events) {
    if (binding.control == control && binding.event == event) {
      if (binding.handler != nullptr) binding.handler(args);
      return;
    }
  }
}

void RaiseEvent(ControlIdentity control, EventNumber event, const EventArgs& args) {
  const LoadedWindow* window = FindLoadedById(control.window);
  if (window == nullptr || control.control == 0 || control.control > window->definition->controls.size()) return;
  const WindowDefinition& definition = *window->definition;
  RaiseEvent(definition, definition.controls[control.control - 1].name, event, args);
}

void RunMessageLoop() {
  if (Loaded().empty()) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool EnsureWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, int extraBytes) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = extraBytes;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing)) return true;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND ToolWindow() {
  if (toolWindow != nullptr && IsWindow(toolWindow)) return toolWindow;
  EnsureWindowClass(kToolClassName, DefWindowProcW, nullptr);
  toolWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kToolClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  return toolWindow;
}

}  // namespace kestrin
