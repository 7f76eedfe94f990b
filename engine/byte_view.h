#pragma once
// Checked little-endian reads over untrusted bytes. Every read says whether it fits; nothing is
// ever read past the end of the view.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrin {

class ByteView {
 public:
  ByteView() = default;
  explicit ByteView(std::span<const std::byte> bytes) : bytes_(bytes) {}

  std::size_t Size() const { return bytes_.size(); }
  std::span<const std::byte> Bytes() const { return bytes_; }

  // True when `count` bytes starting at `offset` lie inside the view (written so that it cannot overflow).
  bool Fits(std::uint64_t offset, std::uint64_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }

  std::optional<std::span<const std::byte>> Sub(std::uint64_t offset, std::uint64_t count) const {
    if (!Fits(offset, count)) return std::nullopt;
    return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
  }

  std::optional<std::uint8_t> U8(std::uint64_t offset) const {
    if (!Fits(offset, 1)) return std::nullopt;
    return static_cast<std::uint8_t>(bytes_[static_cast<std::size_t>(offset)]);
  }

  std::optional<std::uint16_t> U16(std::uint64_t offset) const {
    if (!Fits(offset, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(At(offset) | (At(offset + 1) << 8));
  }

  std::optional<std::uint32_t> U32(std::uint64_t offset) const {
    if (!Fits(offset, 4)) return std::nullopt;
    return At(offset) | (At(offset + 1) << 8) | (At(offset + 2) << 16) | (At(offset + 3) << 24);
  }

  std::optional<std::int32_t> I32(std::uint64_t offset) const {
    auto value = U32(offset);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
  }

  std::optional<std::uint32_t> U32BigEndian(std::uint64_t offset) const {
    if (!Fits(offset, 4)) return std::nullopt;
    return (At(offset) << 24) | (At(offset + 1) << 16) | (At(offset + 2) << 8) | At(offset + 3);
  }

 private:
  std::uint32_t At(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(bytes_[static_cast<std::size_t>(offset)]);
  }

  std::span<const std::byte> bytes_;
};

}  // namespace kestrin
