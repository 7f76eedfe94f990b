#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/file_io.h"

namespace kestrin {

struct SourceFile::Handle {
  int fd = -1;
  std::uint64_t size = 0;

  ~Handle() {
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

SourceFile::SourceFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
SourceFile::SourceFile(SourceFile&&) noexcept = default;
SourceFile& SourceFile::operator=(SourceFile&&) noexcept = default;
SourceFile::~SourceFile() = default;

std::optional<SourceFile> SourceFile::Open(std::string_view path) {
  auto text = PathText(path);
  if (!text) return std::nullopt;
  auto handle = std::make_unique<Handle>();
  handle->fd = open(text->c_str(), O_RDONLY | O_CLOEXEC);
  if (handle->fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(handle->fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  handle->size = static_cast<std::uint64_t>(info.st_size);
  return SourceFile(std::move(handle));
}

std::uint64_t SourceFile::Size() const { return handle_->size; }

bool SourceFile::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (!Fits(offset, out.size())) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t got = pread(handle_->fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
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
