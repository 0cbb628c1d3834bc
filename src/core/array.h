// A growable array for engine code, which runs without exceptions and without
// the standard containers (their failure paths throw). Growth goes through the
// engine allocator, so running out of memory ends the program; an index
// outside the array is an internal error rather than a stray read.
#pragma once

#include <new>
#include <utility>

#include "core/failure.h"
#include "core/memory.h"
#include "core/types.h"

namespace kova::core {

template <typename T>
class Array {
 public:
  Array() = default;
  Array(const Array& other) { AppendAll(other); }
  Array(Array&& other) noexcept { Steal(other); }
  ~Array() { Reset(); }

  Array& operator=(const Array& other) {
    if (this != &other) {
      Clear();
      AppendAll(other);
    }
    return *this;
  }
  Array& operator=(Array&& other) noexcept {
    if (this != &other) {
      Reset();
      Steal(other);
    }
    return *this;
  }

  i32 Size() const { return size_; }
  bool IsEmpty() const { return size_ == 0; }

  T& operator[](i32 index) {
    if (index < 0 || index >= size_) RaiseInternalError("core", __LINE__);
    return items_[index];
  }
  const T& operator[](i32 index) const {
    if (index < 0 || index >= size_) RaiseInternalError("core", __LINE__);
    return items_[index];
  }

  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }
  T& Last() { return (*this)[size_ - 1]; }

  T& Append(T item) {
    Reserve(size_ + 1);
    new (items_ + size_) T(std::move(item));
    return items_[size_++];
  }

  void RemoveLast() {
    if (size_ == 0) RaiseInternalError("core", __LINE__);
    items_[--size_].~T();
  }

  void RemoveAt(i32 index) {
    if (index < 0 || index >= size_) RaiseInternalError("core", __LINE__);
    for (i32 i = index; i + 1 < size_; ++i) items_[i] = std::move(items_[i + 1]);
    RemoveLast();
  }

  void Clear() {
    while (size_ > 0) items_[--size_].~T();
  }

  void Reserve(i32 wanted) {
    if (wanted <= capacity_) return;
    i32 grown = capacity_ < 8 ? 8 : capacity_ + capacity_ / 2;
    if (grown < wanted) grown = wanted;
    T* moved = static_cast<T*>(Allocate(sizeof(T) * static_cast<std::size_t>(grown)));
    for (i32 i = 0; i < size_; ++i) {
      new (moved + i) T(std::move(items_[i]));
      items_[i].~T();
    }
    Release(items_);
    items_ = moved;
    capacity_ = grown;
  }

 private:
  void AppendAll(const Array& other) {
    Reserve(other.size_);
    for (const T& item : other) Append(item);
  }
  void Steal(Array& other) {
    items_ = other.items_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.items_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  void Reset() {
    Clear();
    Release(items_);
    items_ = nullptr;
    capacity_ = 0;
  }

  T* items_ = nullptr;
  i32 size_ = 0;
  i32 capacity_ = 0;
};

}  // namespace kova::core
