// The reference bit reader of compressed blocks; see bit_reader.h.
#include "format/bit_reader.h"

namespace kova::format {

BitReader::BitReader(const u8* data, std::size_t size, u64 position)
    : data_(data), bitCount_(static_cast<u64>(size) * 8), position_(position) {
  if (position_ > bitCount_) position_ = bitCount_;
}

u32 BitReader::ReadBit() {
  if (position_ >= bitCount_) return 0;
  u32 bit = (data_[position_ >> 3] >> (position_ & 7)) & 1u;
  ++position_;
  return bit;
}

bool BitReader::ReadBits(void* destination, i64 count) {
  if (count < 1 || destination == nullptr) return false;
  if (Remaining() < static_cast<u64>(count)) return false;
  u8* bytes = static_cast<u8*>(destination);
  for (i64 i = 0; i < count; ++i) {
    u8 mask = static_cast<u8>(1u << (i & 7));
    if (ReadBit())
      bytes[i >> 3] = static_cast<u8>(bytes[i >> 3] | mask);
    else
      bytes[i >> 3] = static_cast<u8>(bytes[i >> 3] & ~mask);
  }
  return true;
}

bool BitReader::ReadNumber(u32* destination, i32 base, i32 step) {
  if (Remaining() < 2 || base < 0 || base > 64 || step < 1 || step > 16) return false;
  // The width only matters up to 32, so it stops growing there; a prefix of
  // any length is still consumed in full.
  i64 width = base;
  while (ReadBit() == 1) {
    if (width < 32) width += step;
  }
  *destination = 0;
  return ReadBits(destination, width < 32 ? width : 32);
}

}  // namespace kova::format
