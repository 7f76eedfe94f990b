// STAND-INS, TO BE REPLACED: the drop unit replaces the first block, the promotions unit the
// second. They let the main window load and run before those units exist.

#include "app/unit_stand_ins.h"

#include "services/win_text.h"
#include "services/window_loader.h"

namespace kestrin {

// ---- drop/ replaced its block: the DropTarget control type lives in drop/drop_target_type.cpp.

}  // namespace kestrin
