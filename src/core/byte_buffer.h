// ByteBuffer: an owned, growable block of bytes for binary data (compressed
// blocks, the decompressed install script, the file data stream, the
// uninstaller image). Unlike String it carries no terminator and no slack
// rules: Size() is the data, Capacity() what is allocated. Storage comes from
// the engine allocator, so running out of memory ends the program rather than
// returning null. Copies are explicit (Assign) because these buffers can hold
// hundreds of megabytes.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/failure.h"
#include "core/memory.h"
#include "core/types.h"

namespace kova::core {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const u8* data, std::size_t size) { Assign(data, size); }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ByteBuffer(ByteBuffer&& other) noexcept { Steal(other); }
  ByteBuffer& operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
      Release(data_);
      Steal(other);
    }
    return *this;
  }
  ~ByteBuffer() { Release(data_); }

  u8* Data() { return data_; }
  const u8* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return capacity_; }
  bool IsEmpty() const { return size_ == 0; }

  // Grows the allocation to at least capacity bytes; never shrinks it.
  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    data_ = static_cast<u8*>(Reallocate(data_, capacity));
    capacity_ = capacity;
  }

  // Sets the size; bytes gained are zero. Growth is geometric so that a
  // buffer filled by many appends is copied only a few times.
  void Resize(std::size_t size) {
    if (size > capacity_) Reserve(Grown(size));
    if (size > size_) std::memset(data_ + size_, 0, size - size_);
    size_ = size;
  }

  void Clear() { size_ = 0; }

  void Assign(const u8* data, std::size_t size) {
    size_ = 0;
    Append(data, size);
  }

  void Append(const u8* data, std::size_t size) {
    if (size == 0) return;
    if (size_ + size > capacity_) {
      // The source may lie inside this buffer, which growing moves.
      auto from = reinterpret_cast<std::uintptr_t>(data);
      auto start = reinterpret_cast<std::uintptr_t>(data_);
      bool inside = data_ && from >= start && from < start + size_;
      Reserve(Grown(size_ + size));
      if (inside) data = data_ + (from - start);
    }
    std::memmove(data_ + size_, data, size);
    size_ += size;
  }
  void Append(u8 byte) { Append(&byte, 1); }

  void Swap(ByteBuffer& other) {
    ByteBuffer moved(static_cast<ByteBuffer&&>(other));
    other = static_cast<ByteBuffer&&>(*this);
    *this = static_cast<ByteBuffer&&>(moved);
  }

  // For writers that fill the storage themselves (the decoder reserves the
  // declared size and writes straight into it): sets the size without
  // touching the bytes. size must not exceed Capacity().
  void SetSizeUnchecked(std::size_t size) {
    if (size > capacity_) RaiseInternalError("core", __LINE__);
    size_ = size;
  }

 private:
  std::size_t Grown(std::size_t wanted) const {
    std::size_t grown = capacity_ < 64 ? 64 : capacity_ + capacity_ / 2;
    return grown < wanted ? wanted : grown;
  }
  void Steal(ByteBuffer& other) {
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }

  u8* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace kova::core
