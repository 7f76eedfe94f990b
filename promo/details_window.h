#pragma once
// The details window "项目详情": one tab page per recommended project with its statement line,
// description, register button and, on pages 1 and 2, an income screenshot.

#include "services/window_definition.h"

namespace kestrin {

// The window's definition; the screenshots' bytes are the program's RCDATA resources
// PROJECT1_SCREENSHOT and PROJECT2_SCREENSHOT (empty when missing: the box stays plain).
const WindowDefinition& DetailsWindow();

// Click handler of the main window's 按钮2: loads the details window modally with no parent and
// returns when it has been closed. The details window's control types are registered first.
void ShowProjectDetails();

}  // namespace kestrin
