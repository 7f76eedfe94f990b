#pragma once
// The click handlers of the project buttons: main window 按钮3 to 按钮6 and the details window's
// 按钮1 to 按钮4 each open one project's registration address, and do nothing else.

#include "promo/registration.h"
#include "promo/web_address.h"
#include "services/window_definition.h"

namespace kestrin {

template <int Project>
void OpenRegistration(const EventArgs&) {
  static_assert(Project >= 1 && Project <= 4);
  OpenWebAddress(RegistrationAddress(Project));
}

}  // namespace kestrin
