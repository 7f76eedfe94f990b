#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "engine/file_io.h"

namespace kestrin {

namespace {

class FileHandle {
 public:
  // INVALID_HANDLE_VALUE (files) and null (mappings) both mean "no handle".
  explicit FileHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  FileHandle(FileHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Reset(); }

  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void Reset() {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
  }
  HANDLE handle_;
};

std::optional<std::wstring> WidePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                                   nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), wide.data(),
                      length);
  return wide;
}

}  // namespace

struct SourceFile::Handle {
  FileHandle file;
  std::uint64_t size = 0;
};

SourceFile::SourceFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
SourceFile::SourceFile(SourceFile&&) noexcept = default;
SourceFile& SourceFile::operator=(SourceFile&&) noexcept = default;
SourceFile::~SourceFile() = default;

std::optional<SourceFile> SourceFile::Open(std::string_view path) {
  auto wide = WidePath(path);
  if (!wide) return std::nullopt;
  auto handle = std::make_unique<Handle>();
  // No sharing: the file is ours alone while it is open.
  handle->file = FileHandle(CreateFileW(wide->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle->file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle->file.Get(), &size) || size.QuadPart < 0) return std::nullopt;
  handle->size = static_cast<std::uint64_t>(size.QuadPart);
  return SourceFile(std::move(handle));
}

std::uint64_t SourceFile::Size() const { return handle_->size; }

bool SourceFile::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (!Fits(offset, out.size())) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    // A synchronous handle reads at the offset the OVERLAPPED names.
    OVERLAPPED at{};
    std::uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle_->file.Get(), out.data() + done, chunk, &got, &at) || got == 0) return false;
    done += got;
  }
  return true;
}

bool WriteWholeFile(std::string_view path, std::span<const std::byte> bytes) {
  auto wide = WidePath(path);
  if (!wide) return false;
  // CREATE_ALWAYS empties an existing file only once the open has succeeded.
  FileHandle file(CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  if (!file) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace kestrin
