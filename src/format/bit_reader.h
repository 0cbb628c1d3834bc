// BitReader: the plain, bit-at-a-time reader of the compressed block format.
// Bits are numbered LSB first within each byte (bit b is bit b % 8 of byte
// b / 8) and values are read least significant bit first. Numbers are coded
// as a run of 1 bits, a 0 bit, then base + ones * step value bits.
//
// This is the definition of the bit stream: the fast decoder in decompress.cpp
// reads the same stream through a 64-bit buffer and must agree with this
// reader bit for bit (the tests and the fuzz target compare the two). The
// position is 64-bit so that blocks larger than 256 MiB can be addressed.
#pragma once

#include "core/types.h"

namespace kova::format {

class BitReader {
 public:
  // data is borrowed; position counts bits from the start of data.
  BitReader(const u8* data, std::size_t size, u64 position = 0);

  // The bit at the position, advancing by one; 0 without moving when no
  // unread bit remains.
  u32 ReadBit();

  // Copies count bits to destination from its bit 0 on (bytes filled LSB
  // first, byte after byte); bits of the last byte beyond count keep their
  // values. Fails, moving nothing, when count < 1, destination is null or
  // fewer than count bits remain.
  bool ReadBits(void* destination, i64 count);

  // destination = a number coded with (base, step); reads at most 32 value
  // bits however long the prefix. Fails when fewer than 2 bits remain, base is
  // outside 0..64, step outside 1..16, or the value bits run past the end.
  bool ReadNumber(u32* destination, i32 base, i32 step);

  u64 Position() const { return position_; }
  u64 BitCount() const { return bitCount_; }
  u64 Remaining() const { return bitCount_ - position_; }

 private:
  const u8* data_;
  u64 bitCount_;
  u64 position_;
};

}  // namespace kova::format
