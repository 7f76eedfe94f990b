#pragma once
// The main window: its definition (layout in main_window_layout.h, events here) and its commands.

#include <cstdint>
#include <string>

#include "app/main_window_layout.h"
#include "services/window_definition.h"

namespace kestrin {

extern const WindowDefinition kMainWindow;

// ProgramDirectory, "\", n in decimal, ".ico".
std::string OutputFileName(std::int32_t n);

// Click on 按钮1: the icons of the path box's file as 1.ico ... 100.ico in the program directory.
void ExtractIcons();
// Click on 删除按钮: removes 1.ico ... 100.ico from the program directory.
void DeleteIcons();

// Registers the control types of the program's other units; run while the definitions are made
// ready at start-up.
bool PrepareProgramDefinitions();

}  // namespace kestrin
