// Writing the tokens of a compressed block, and what each token costs in bits.
// Both encoder levels use these prices to choose between literals, byte runs
// and back copies, so the prices here must match what TokenWriter emits.
//
// Numbers are coded as k one bits, a zero bit and base + k * step value bits
// (least significant first), k being the smallest that leaves room for the
// value. The decoder reads at most 32 value bits; every value written here is
// below 2^32, and the smallest k never asks for more than 32.
#pragma once

#include <bit>
#include <cstring>
#include <vector>

#include "core/types.h"
#include "format/byte_reader.h"

namespace kova::builder {

inline constexpr u32 kMinByteRun = 3;
inline constexpr u32 kMinCopyLength = 4;
inline constexpr u32 kMinCopyDistance = 4;

struct NumberCode {
  u32 ones;
  u32 width;
};

constexpr NumberCode CodeNumber(u32 base, u32 step, u64 value) {
  u32 bits = value == 0 ? 0 : static_cast<u32>(std::bit_width(value));
  u32 ones = bits <= base ? 0 : (bits - base + step - 1) / step;
  return {ones, base + ones * step};
}

constexpr u32 NumberCost(u32 base, u32 step, u64 value) {
  NumberCode code = CodeNumber(base, step, value);
  return code.ones + 1 + code.width;
}

// Bits of a literal run of n bytes without the bytes themselves.
constexpr u32 LiteralHeaderCost(u64 n) { return 1 + NumberCost(2, 2, n - 1); }
constexpr u64 LiteralRunCost(u64 n) { return LiteralHeaderCost(n) + 8 * n; }
constexpr u32 ByteRunCost(u64 count) { return 2 + 8 + NumberCost(1, 1, count - kMinByteRun); }
constexpr u32 CopyLengthCost(u64 length) { return NumberCost(2, 1, length - kMinCopyLength); }
constexpr u32 CopyDistanceCost(u64 distance) { return NumberCost(12, 2, distance - kMinCopyDistance); }
constexpr u32 CopyCost(u64 length, u64 distance) {
  return 2 + CopyLengthCost(length) + CopyDistanceCost(distance);
}

// Appends an LSB-first bit stream to a byte vector.
class BitWriter {
 public:
  explicit BitWriter(std::vector<u8>& out) : out_(out) {}

  // bits <= 32
  void Put(u64 value, u32 bits) {
    pending_ |= (value & ((u64{1} << bits) - 1)) << count_;
    count_ += bits;
    if (count_ >= 32) {
      u8 word[4];
      format::StoreLe32(word, static_cast<u32>(pending_));
      out_.insert(out_.end(), word, word + 4);
      pending_ >>= 32;
      count_ -= 32;
    }
  }

  void PutNumber(u32 base, u32 step, u64 value) {
    NumberCode code = CodeNumber(base, step, value);
    Put((u64{1} << code.ones) - 1, code.ones);  // ones <= 31
    Put(0, 1);
    Put(value, code.width);  // width <= 32
  }

  void PutBytes(const u8* bytes, u64 n) {
    u64 i = 0;
    for (; i + 4 <= n; i += 4) Put(format::LoadLe32(bytes + i), 32);
    for (; i < n; ++i) Put(bytes[i], 8);
  }

  // Pads the last byte with zero bits.
  void Finish() {
    while (count_ > 0) {
      out_.push_back(static_cast<u8>(pending_));
      pending_ >>= 8;
      count_ = count_ >= 8 ? count_ - 8 : 0;
    }
  }

 private:
  std::vector<u8>& out_;
  u64 pending_ = 0;
  u32 count_ = 0;
};

class TokenWriter {
 public:
  explicit TokenWriter(std::vector<u8>& out) : bits_(out) {}

  void Literals(const u8* bytes, u64 n) {
    if (n == 0) return;
    bits_.Put(0, 1);
    bits_.PutNumber(2, 2, n - 1);
    bits_.PutBytes(bytes, n);
  }
  void ByteRun(u8 byte, u64 count) {
    bits_.Put(3, 2);
    bits_.Put(byte, 8);
    bits_.PutNumber(1, 1, count - kMinByteRun);
  }
  // length >= 4, distance >= length
  void Copy(u64 length, u64 distance) {
    bits_.Put(1, 2);
    bits_.PutNumber(2, 1, length - kMinCopyLength);
    bits_.PutNumber(12, 2, distance - kMinCopyDistance);
  }
  void Finish() { bits_.Finish(); }

 private:
  BitWriter bits_;
};

}  // namespace kova::builder
