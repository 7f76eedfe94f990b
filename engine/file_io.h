#pragma once
// The engine's only contact with the file system: a source opened for exclusive reading, read by ranges,
// and a destination created or replaced in one go. One Win32 and one POSIX implementation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace kestrin {

// Bytes that can be read by ranges: a file, or bytes already in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Fills `out` from `offset`; false (and `out` unspecified) unless every byte lies inside the source.
  virtual bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const = 0;

  bool Fits(std::uint64_t offset, std::uint64_t count) const {
    return offset <= Size() && count <= Size() - offset;
  }
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override;

 private:
  std::span<const std::byte> bytes_;
};

class SourceFile final : public ByteSource {
 public:
  // Opens an existing file (UTF-8 path) for reading. On Windows the file is opened with no sharing, so a
  // file open elsewhere reads as nothing, and nobody else can open it while this object lives.
  static std::optional<SourceFile> Open(std::string_view path);

  SourceFile(SourceFile&&) noexcept;
  SourceFile& operator=(SourceFile&&) noexcept;
  ~SourceFile() override;

  std::uint64_t Size() const override;
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override;

  struct Handle;

 private:
  explicit SourceFile(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

// Creates or replaces the file at `path` (UTF-8) for exclusive writing and writes `bytes`. When the file
// can't be created, an existing file stays as it was. Returns false on any failure; a write that fails
// part-way leaves what was written.
bool WriteWholeFile(std::string_view path, std::span<const std::byte> bytes);

}  // namespace kestrin
