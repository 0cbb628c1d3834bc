// The archive's checksum and scrambling of byte blocks.
#pragma once

#include "core/types.h"

namespace kova::format {

inline constexpr u32 kChecksumSeed = 0x79E2BC9Du;

// Sum of the little-endian 32-bit words, then of the 1 to 3 remaining bytes
// as signed 8-bit values, then of the length, starting from kChecksumSeed,
// with 32-bit wrap-around. A null or empty block gives the seed.
u32 Checksum32(const u8* data, i64 length);

// Continues a checksum over a stream read in pieces: every piece but the last
// must hold a multiple of 4 bytes.
class Checksum32Stream {
 public:
  void Add(const u8* data, std::size_t length);
  u32 Finish() const;

 private:
  u32 sum_ = kChecksumSeed;
  u64 length_ = 0;
  bool tail_ = false;
};

// XOR of the block with the key repeated as a 4-byte little-endian pattern.
// Scrambling and descrambling are the same operation.
void Descramble(u8* data, i64 length, u32 key);

}  // namespace kova::format
