#include <algorithm>

#include "engine/file_io.h"

namespace kestrin {

bool MemorySource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (!Fits(offset, out.size())) return false;
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return true;
}

}  // namespace kestrin
