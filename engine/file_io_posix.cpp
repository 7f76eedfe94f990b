#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/file_io.h"

namespace kestrin {

struct MappedFile::Handles {
  int fd = -1;
  void* view = nullptr;
  std::size_t size = 0;

  ~Handles() {
    if (view != nullptr) munmap(view, size);
    if (fd >= 0) close(fd);
  }
};

namespace {

// open() stops at the first NUL; a path that holds one names no file.
std::optional<std::string> PathText(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
  return std::string(path);
}

}  // namespace

MappedFile::MappedFile(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
MappedFile::MappedFile(MappedFile&&) noexcept = default;
MappedFile& MappedFile::operator=(MappedFile&&) noexcept = default;
MappedFile::~MappedFile() = default;

std::optional<MappedFile> MappedFile::Open(std::string_view path) {
  auto text = PathText(path);
  if (!text) return std::nullopt;
  auto handles = std::make_unique<Handles>();
  handles->fd = open(text->c_str(), O_RDONLY | O_CLOEXEC);
  if (handles->fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(handles->fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  handles->size = static_cast<std::size_t>(info.st_size);
  if (handles->size > 0) {
    void* view = mmap(nullptr, handles->size, PROT_READ, MAP_PRIVATE, handles->fd, 0);
    if (view == MAP_FAILED) return std::nullopt;
    handles->view = view;
  }
  return MappedFile(std::move(handles));
}

std::span<const std::byte> MappedFile::Bytes() const {
  if (handles_->view == nullptr) return {};
  return {static_cast<const std::byte*>(handles_->view), handles_->size};
}

bool WriteWholeFile(std::string_view path, std::span<const std::byte> bytes) {
  auto text = PathText(path);
  if (!text) return false;
  // Rewritten in place and then cut to what was written: the same file as truncating first, without the
  // flush that some file systems force on closing a truncated file.
  int fd = open(text->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool complete = true;
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) {
      complete = false;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  bool cut = ftruncate(fd, static_cast<off_t>(done)) == 0;
  return close(fd) == 0 && complete && cut;
}

}  // namespace kestrin
