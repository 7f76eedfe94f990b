#include "engine/extract.h"

namespace kestrin {

std::int32_t ExtractIconSet(std::string_view, std::int32_t, std::string_view, std::int32_t) { return 0; }

}  // namespace kestrin
