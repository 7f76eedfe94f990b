#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "engine/file_io.h"

namespace kestrin {

namespace {

class Handle {
 public:
  // INVALID_HANDLE_VALUE (files) and null (mappings) both mean "no handle".
  explicit Handle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }

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

struct MappedFile::Handles {
  Handle file;
  Handle mapping;
  const void* view = nullptr;
  std::size_t size = 0;

  ~Handles() {
    if (view != nullptr) UnmapViewOfFile(view);
  }
};

MappedFile::MappedFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
MappedFile::MappedFile(MappedFile&&) noexcept = default;
MappedFile& MappedFile::operator=(MappedFile&&) noexcept = default;
MappedFile::~MappedFile() = default;

std::optional<MappedFile> MappedFile::Open(std::string_view path) {
  auto wide = WidePath(path);
  if (!wide) return std::nullopt;
  auto handles = std::make_unique<Handles>();
  // No sharing: the file is ours alone while it is mapped.
  handles->file = Handle(CreateFileW(wide->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handles->file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handles->file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    return std::nullopt;
  }
  handles->size = static_cast<std::size_t>(size.QuadPart);
  if (handles->size > 0) {  // an empty file cannot be mapped, and needs no view
    handles->mapping = Handle(CreateFileMappingW(handles->file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!handles->mapping) return std::nullopt;
    handles->view = MapViewOfFile(handles->mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (handles->view == nullptr) return std::nullopt;
  }
  return MappedFile(std::move(handles));
}

std::span<const std::byte> MappedFile::Bytes() const {
  if (handles_->view == nullptr) return {};
  return {static_cast<const std::byte*>(handles_->view), handles_->size};
}

bool WriteWholeFile(std::string_view path, std::span<const std::byte> bytes) {
  auto wide = WidePath(path);
  if (!wide) return false;
  // CREATE_ALWAYS empties an existing file only once the open has succeeded.
  Handle file(CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
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
