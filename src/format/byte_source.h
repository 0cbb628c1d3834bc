// ByteSource: random access to the bytes of an installer file, so that the
// archive code runs the same over the stub's own open file and over a file a
// host tool has read into memory (or a fuzzer's input).
#pragma once

#include "core/types.h"

namespace kova::format {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The size in bytes, or -1 when it cannot be had.
  virtual i64 Size() = 0;
  // Reads exactly n bytes at position; false when they are not all there.
  virtual bool ReadAt(i64 position, u8* buffer, i64 n) = 0;
  // The n bytes at position in place, without a copy (memory the source
  // holds, or a mapping of its file), valid while the source lives and until
  // the next View; null when the source cannot lend them, and then ReadAt
  // gives them.
  virtual const u8* View(i64 /*position*/, i64 /*n*/) { return nullptr; }
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const u8* data, i64 size) : data_(data), size_(size < 0 ? 0 : size) {}
  i64 Size() override { return size_; }
  bool ReadAt(i64 position, u8* buffer, i64 n) override;
  const u8* View(i64 position, i64 n) override;

 private:
  const u8* data_;
  i64 size_;
};

}  // namespace kova::format
