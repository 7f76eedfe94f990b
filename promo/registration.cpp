#include "promo/registration.h"

#include "promo/promotion_config.h"

namespace kestrin {

std::string_view RegistrationAddress(std::int32_t project) {
  const auto& addresses = promotion_config::kRegistrationAddresses;
  if (project < 1 || project > static_cast<std::int32_t>(addresses.size())) {
    return {};
  }
  return addresses[static_cast<std::size_t>(project - 1)];
}

}  // namespace kestrin
