#pragma once
// The drop-target unit: lets its host window accept files dragged from the shell and raises one
// event, FilesDropped, with the dropped paths as its text. The unit has a hidden child window of the
// host that is never shown; it exists so that the unit goes when the host goes: at that window's
// final destruction the unit revokes the host's drop registration and deletes itself with its sink.

#include "drop/drop_target_sink.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace kestrin {

// The window id and unit id under which the host knows the unit.
struct DropTargetIdentity {
  std::uint32_t windowId = 0;
  std::uint32_t unitId = 0;
};

class DropTarget final : private FilesDroppedListener {
 public:
  // Called with the text of each drop; the text lives only for the duration of the call.
  using FilesDroppedHandler = std::function<void(const DropTarget& unit, const std::string& text)>;
  // Called once at the child window's final destruction, before the unit is deleted.
  using GoneHandler = std::function<void(const DropTarget& unit)>;

  // Creates the unit with its hidden child window (WS_CHILD | WS_CLIPSIBLINGS, never shown) in
  // `host`. Null when the window can't be created. The unit owns itself from then on.
  static DropTarget* Create(HWND host, DropTargetIdentity identity, int left, int top, int width, int height,
                            FilesDroppedHandler onFilesDropped, GoneHandler onGone = {});

  // Makes `window` an OLE drop target served by this unit's sink, once: false without asking the
  // system when a window is already recorded; the handle is recorded before the system registration
  // and stays recorded when that fails; true only when the registration succeeded.
  bool RegisterDropWindow(HWND window);

  HWND host() const { return host_; }
  HWND window() const { return window_; }
  HWND registeredWindow() const { return registeredWindow_; }
  const DropTargetIdentity& identity() const { return identity_; }
  // The sink the system calls for the registered window.
  IDropTarget* sink() const { return sink_; }

  DropTarget(const DropTarget&) = delete;
  DropTarget& operator=(const DropTarget&) = delete;

 private:
  DropTarget(HWND host, DropTargetIdentity identity, FilesDroppedHandler onFilesDropped, GoneHandler onGone);
  ~DropTarget();

  void FilesDropped(const std::string& text) override;
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND host_;
  HWND window_ = nullptr;
  HWND registeredWindow_ = nullptr;
  DropTargetIdentity identity_;
  DropTargetSink* sink_;  // one reference held by the unit
  bool ownedByWindow_ = false;  // from the child window's successful creation on
  FilesDroppedHandler onFilesDropped_;
  GoneHandler onGone_;
};

}  // namespace kestrin
