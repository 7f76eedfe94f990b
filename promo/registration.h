#pragma once
// The registration addresses of the four recommended projects. Portable.

#include <cstdint>
#include <string_view>

namespace kestrin {

// Entry `project` (1 to 4) of the registration addresses; the empty text for any other number.
std::string_view RegistrationAddress(std::int32_t project);

}  // namespace kestrin
