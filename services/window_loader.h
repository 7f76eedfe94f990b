#pragma once
// The window loader: builds a window from its definition (services/window_definition.h), keeps the
// loaded windows, dispatches control events to the handlers the definition binds, and offers the
// control services the handlers call. GUI thread only.
//
// How another module adds a control type
//   1. Fill a ControlTypeOps. `create` makes the control's window as a child of the host window at
//      the definition's rectangle, NOT visible (the loader shows it), with the given id; it may keep
//      per-control state in `control.typeData` and free it in `destroy`. The other hooks are
//      optional: `command` receives the WM_COMMAND codes the control sends to its parent (wherever
//      it was re-parented), `notify` its WM_NOTIFY, `colours` its WM_CTLCOLOR* requests, `setText`
//      replaces SetWindowTextW for SetControlText, `finish` runs once all controls of the window
//      exist, are re-parented, stacked and shown (before `created`), `message` sees the messages of
//      the control's own window first.
//   2. Call RegisterControlType("TypeName", ops) before a window using it is loaded; the program
//      does it while it makes its definitions ready (the app's start-up), tests in their set-up.
//      A control type's ops must outlive every window (use a static).
// How a control raises an event
//   RaiseEvent(control.identity, event::kSomething, EventArgs{text}); the identity stays valid for
//   the life of the loaded window; the handler runs synchronously. A control reached only through
//   its window handle finds its ControlInstance with FindControl(hwnd).
// How events are bound
//   In the definition: EventBinding{"控件名", event::kClicked, &Handler}; the window's own events
//   use the empty control name. An event with no binding does nothing.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "services/window_definition.h"

namespace kestrin {

// Names a control of a loaded window: the loaded window's serial number (never reused during a
// run) and the control's 1-based row in its definition.
struct ControlIdentity {
  std::uint32_t window = 0;
  std::uint32_t control = 0;
};

struct ControlTypeOps;
struct LoadedWindow;

struct ControlInstance {
  LoadedWindow* window = nullptr;
  const ControlDefinition* definition = nullptr;
  const ControlTypeOps* type = nullptr;
  ControlIdentity identity;
  HWND hwnd = nullptr;
  bool disabled = false;
  bool changeSuppressed = false;  // EditBox: its own change notification is ignored meanwhile
  void* typeData = nullptr;       // owned by the control type
};

struct LoadedWindow {
  std::uint32_t id = 0;
  const WindowDefinition* definition = nullptr;
  HWND hwnd = nullptr;
  bool modal = false;
  std::vector<std::unique_ptr<ControlInstance>> controls;  // in table order

  ControlInstance* Find(std::string_view name) const;
};

struct ControlTypeOps {
  HWND (*create)(ControlInstance& control, HWND host, int id) = nullptr;
  void (*command)(ControlInstance& control, UINT code) = nullptr;
  LRESULT (*notify)(ControlInstance& control, const NMHDR& header) = nullptr;
  HBRUSH (*colours)(ControlInstance& control, HDC dc) = nullptr;
  void (*setText)(ControlInstance& control, std::string_view text) = nullptr;
  void (*finish)(ControlInstance& control) = nullptr;
  bool (*message)(ControlInstance& control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = nullptr;
  void (*destroy)(ControlInstance& control) = nullptr;
};

// Registers a window class of the program (arrow cursor, `extraBytes` of window data) unless one of that
// name exists already. True when the class exists afterwards.
bool EnsureWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background, int extraBytes = 0);

// False when the name is already registered (the first registration stays).
bool RegisterControlType(std::string_view name, const ControlTypeOps& ops);
const ControlTypeOps* FindControlType(std::string_view name);
// EditBox, Button, Label, TransLabel, GroupBox. Safe to call more than once.
void RegisterBuiltInControlTypes();

// Checks a definition before it is loaded: unique control names, registered types, existing
// containers. On failure says what is wrong in `problem`.
bool CheckWindowDefinition(const WindowDefinition& window, std::string* problem);

// Loads a window (see window_loader.cpp for the steps). A window already loaded is restored or
// activated instead. Modal: the parent is ignored, the window is owned by the hidden tool window,
// the other windows are disabled, and the call returns when the window has been closed.
bool LoadWindow(const WindowDefinition& window, HWND parent = nullptr, bool modal = false);

// The system handle of a loaded window; null when it is not loaded.
HWND WindowHandle(const WindowDefinition& window);
const LoadedWindow* FindLoadedWindow(const WindowDefinition& window);
// The control behind one of our control windows; null for any other window.
ControlInstance* FindControl(HWND controlWindow);
// The window of a control; a control of a window that is not loaded is a fatal error.
HWND ControlWindow(const WindowDefinition& window, std::string_view control);

std::string GetControlText(const WindowDefinition& window, std::string_view control);
// For an EditBox its own change notification is suppressed during the write, then its content
// changed event is raised exactly once, also when the text did not change.
void SetControlText(const WindowDefinition& window, std::string_view control, std::string_view text);
void SetControlDisabled(const WindowDefinition& window, std::string_view control, bool disabled);

// Calls the handler bound to (control, event) synchronously; nothing when none is bound or the
// window is no longer loaded. The empty control name is the window itself.
void RaiseEvent(const WindowDefinition& window, std::string_view control, EventNumber event,
                const EventArgs& args = {});
void RaiseEvent(ControlIdentity control, EventNumber event, const EventArgs& args = {});

// Returns at once when no window is loaded; else dispatches messages until the quit message that
// follows the destruction of the last loaded window.
void RunMessageLoop();

// The hidden window that owns modal windows; created on first use (start-up creates it).
HWND ToolWindow();

}  // namespace kestrin
