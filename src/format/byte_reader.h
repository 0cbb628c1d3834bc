// Little-endian values in installer bytes, and a cursor that reads them with
// every read checked against the end of the bytes present. The cursor's
// failure is sticky: after the first read past the end every later read
// fails too, so a reader checks Failed() once per record instead of after
// every field.
#pragma once

#include <bit>
#include <cstring>

#include "core/types.h"

namespace kova::format {

// One unaligned load or store each, which the compiler sees as such from the
// start: the stub's size build then inlines them everywhere instead of
// calling an out-of-line copy assembled from single bytes.
inline u32 LoadLe16(const u8* p) {
  u16 value;
  std::memcpy(&value, p, 2);
  if constexpr (std::endian::native == std::endian::big) value = static_cast<u16>(value >> 8 | value << 8);
  return value;
}
inline u32 LoadLe32(const u8* p) {
  u32 value;
  std::memcpy(&value, p, 4);
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap32(value);
  return value;
}
inline void StoreLe16(u8* p, u32 value) {
  auto half = static_cast<u16>(value);
  if constexpr (std::endian::native == std::endian::big) half = static_cast<u16>(half >> 8 | half << 8);
  std::memcpy(p, &half, 2);
}
inline void StoreLe32(u8* p, u32 value) {
  if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap32(value);
  std::memcpy(p, &value, 4);
}

class ByteReader {
 public:
  ByteReader(const u8* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

  // The next 4 bytes as a number; 0 (and failed) when they are not all there.
  u32 U32() {
    if (failed_ || size_ - position_ < 4) return Fail(), 0;
    u32 value = LoadLe32(data_ + position_);
    position_ += 4;
    return value;
  }
  u32 U16() {
    if (failed_ || size_ - position_ < 2) return Fail(), 0;
    u32 value = LoadLe16(data_ + position_);
    position_ += 2;
    return value;
  }
  bool U32(u32& value) { return value = U32(), !failed_; }
  bool I32(i32& value) { return value = static_cast<i32>(U32()), !failed_; }

  // n bytes in place: a pointer to them, or null (and failed) when they are
  // not all there.
  const u8* Take(std::size_t n) {
    if (failed_ || size_ - position_ < n) return Fail(), nullptr;
    const u8* at = data_ + position_;
    position_ += n;
    return at;
  }

  // A NUL-terminated text in place, its length (without the NUL) in length;
  // null when no NUL comes before the end.
  const char* Text(std::size_t& length) {
    if (failed_ || position_ >= size_) return Fail(), nullptr;
    const void* nul = std::memchr(data_ + position_, 0, size_ - position_);
    if (!nul) return Fail(), nullptr;
    const char* text = reinterpret_cast<const char*>(data_ + position_);
    length = static_cast<std::size_t>(static_cast<const u8*>(nul) - (data_ + position_));
    position_ += length + 1;
    return text;
  }

  bool Failed() const { return failed_; }
  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return size_ - position_; }

 private:
  void Fail() { failed_ = true; }

  const u8* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace kova::format
