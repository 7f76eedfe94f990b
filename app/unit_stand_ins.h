#pragma once
// Entry points of the drop-target unit (drop/) and the promotions unit (promo/) that the main
// window calls. Until those units land, unit_stand_ins.cpp gives them bodies that do nothing;
// each unit replaces its part of that file (and this header) with its own.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "services/window_definition.h"

// Promotions: the modal details window (ShowProjectDetails), the shell's "open" on an address
// (OpenWebAddress) and the four registration addresses (RegistrationAddress).
#include "promo/details_window.h"
#include "promo/registration.h"
#include "promo/web_address.h"

// Drop target: the DropTarget control type (RegisterDropTargetType), and making `host` an OLE drop
// target for the unit named `unit` in `window` (RegisterDropWindow).
#include "drop/drop_target_type.h"

namespace kestrin {


}  // namespace kestrin
