#pragma once
// The DropTarget control type for the window loader, and the unit's command as the program calls
// it: by window definition and unit name.

#include <windows.h>

#include <string_view>

#include "services/window_definition.h"

namespace kestrin {

class DropTarget;

// Registers "DropTarget" with the window loader; safe to call more than once. Each unit of a loaded
// window raises event::kFilesDropped through RaiseEvent with the dropped paths as its text.
void RegisterDropTargetType();

// RegisterDropWindow of the DropTarget unit `unit` of the loaded `window`; false when there is no
// such unit.
bool RegisterDropWindow(const WindowDefinition& window, std::string_view unit, HWND host);

// The DropTarget unit `unit` of the loaded `window`, or null.
DropTarget* FindDropTarget(const WindowDefinition& window, std::string_view unit);

}  // namespace kestrin
