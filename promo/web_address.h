#pragma once
// Handing a web address to the system shell.

#include <string_view>

namespace kestrin {

// Opens `address` (UTF-8) with the shell's "open" action, owned by the first top-level window titled
// "Microsoft Internet Explorer" if there is one. Whatever the shell makes of it is not looked at.
void OpenWebAddress(std::string_view address);

}  // namespace kestrin
