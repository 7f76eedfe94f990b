#pragma once
// In-process window tests: the program's services and definitions, real windows, under Wine.

#include <windows.h>

#include "services/window_loader.h"

namespace kestrin::test {

// Dispatches whatever is queued (a WM_QUIT included, which is dropped), without blocking.
inline void DrainMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Destroys a loaded window if it is still there and swallows the quit message that follows.
inline void Unload(const WindowDefinition& window) {
  if (HWND hwnd = WindowHandle(window)) DestroyWindow(hwnd);
  DrainMessages();
}

}  // namespace kestrin::test
