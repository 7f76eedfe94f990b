#pragma once
// The engine's only contact with the file system: a source mapped read-only for exclusive use, and a
// destination created or replaced in one go. One Win32 and one POSIX implementation.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace kestrin {

class MappedFile {
 public:
  // Opens an existing file (UTF-8 path) for reading and maps it. On Windows the file is opened with no
  // sharing, so a file open elsewhere reads as nothing, and nobody else can open it while it is mapped.
  static std::optional<MappedFile> Open(std::string_view path);

  MappedFile(MappedFile&&) noexcept;
  MappedFile& operator=(MappedFile&&) noexcept;
  ~MappedFile();

  std::span<const std::byte> Bytes() const;

  struct Handles;

 private:
  explicit MappedFile(std::unique_ptr<Handles> handles);
  std::unique_ptr<Handles> handles_;
};

// Creates or replaces the file at `path` (UTF-8) for exclusive writing and writes `bytes`. When the file
// can't be created, an existing file stays as it was. Returns false on any failure; a write that fails
// part-way leaves what was written.
bool WriteWholeFile(std::string_view path, std::span<const std::byte> bytes);

}  // namespace kestrin
