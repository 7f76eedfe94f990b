#pragma once
// The engine's single entry point: take the icon of a given rank from an icon file or an executable
// and write it as an icon file.

#include <cstdint>
#include <string_view>

namespace kestrin {

// What a path names, judged from its last three bytes alone (ASCII letters lower-cased, no dot needed).
enum class PathKind { None, IconFile, Executable, Bitmap };
PathKind KindOfPath(std::string_view path);

// Writes the icon of 1-based rank `index` of `source` to `destination` (mode 0). Returns the number of
// icons in the source when the index lies among them, else 0; reading and writing failures are silent.
// Paths are UTF-8. Mode 1 (clipboard) and bitmap destinations are not provided: they write nothing and
// return the count all the same.
std::int32_t ExtractIconSet(std::string_view source, std::int32_t mode, std::string_view destination,
                            std::int32_t index);

}  // namespace kestrin
