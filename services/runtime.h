#pragma once
// Run-time services that are not about windows, and the program's start and end.

#include <cstdint>
#include <string>
#include <string_view>

#include "services/window_definition.h"

namespace kestrin {

// The directory of the running executable, without a trailing separator ("C:\Tools", or "C:" for a
// program in a drive's root). Recorded once at start-up.
std::string ProgramDirectory();

// Deletes the file; false when it is missing or cannot be deleted.
bool RemoveFile(std::string_view path);

// A task-modal message box without owner: the text, the caption (empty: "信息："), and the
// MB_* flags (0: an OK button and no icon). Returns the button pressed.
int ShowMessage(std::string_view text, std::uint32_t flags = 0, std::string_view caption = {});

// Blocks the thread; no messages are processed meanwhile. Negative counts as 0.
void Delay(std::int32_t milliseconds);

// Shows an error box without owner and ends the process with exit code -1.
[[noreturn]] void FatalError(std::string_view message);

// The program's life: OLE initialised, program directory recorded and made current, hidden tool
// window created, `prepareDefinitions` run (register control types; false is fatal), the start
// window checked and loaded (failure is fatal), the message loop run, OLE uninitialised. Returns 0,
// the exit code.
int RunProgram(const WindowDefinition& startWindow, bool (*prepareDefinitions)());

}  // namespace kestrin
