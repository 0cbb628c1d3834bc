// Finding earlier occurrences of the bytes at a position, for the encoder.
//
// Back copies in this format may not overlap their own output: a copy needs
// length <= distance, and distance >= 4. A repeat found at a short distance d
// with a longer length (bytes repeating with period d, such as "ababab") is
// therefore turned into a copy from a multiple of d far enough back, which is
// why UsableCopy looks at how far the period reaches backwards. Repeated
// copies of a long periodic stretch double in length each time.
//
// BinaryTreeMatchFinder keeps every position of a large window in a binary
// search tree per 4-byte hash (sorted by the bytes that follow), so one
// descent finds, for each length, the nearest earlier position reaching it.
#pragma once

#include <bit>
#include <cstring>
#include <vector>

#include "core/types.h"
#include "format/byte_reader.h"

namespace kova::builder {

struct Match {
  u32 length;
  u32 distance;
};

// The 4 bytes the match finders hash.
inline u32 Load32(const u8* p) { return format::LoadLe32(p); }

// Bytes equal at a and b, up to limit (the regions may overlap).
inline u32 CommonLength(const u8* a, const u8* b, u32 limit) {
  u32 n = 0;
  while (n + 8 <= limit) {
    u64 x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (u64 diff = x ^ y) {
      if constexpr (std::endian::native == std::endian::little)
        return n + static_cast<u32>(std::countr_zero(diff)) / 8;
      else
        return n + static_cast<u32>(std::countl_zero(diff)) / 8;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// A repeat of length bytes at distance back from position (length may exceed
// distance) turned into a copy the format allows. False when none of at least
// 4 bytes exists.
bool UsableCopy(const u8* data, u32 position, u32 distance, u32 length, Match* copy);

class BinaryTreeMatchFinder {
 public:
  // windowLog bounds the tree's reach (its memory is 8 << windowLog bytes);
  // the newest position of each hash is also tried beyond it.
  BinaryTreeMatchFinder(const u8* data, u32 size, u32 windowLog, u32 depth, u32 niceLength);

  // Inserts position (positions must come in increasing order, each at most
  // once) and returns the raw repeats: lengths strictly increasing, each with
  // the nearest distance reaching it, lengths capped at niceLength. Distances
  // may be below 4 and lengths above distances; see UsableCopy.
  u32 Find(u32 position, Match* matches);
  // Inserts position without collecting matches.
  void Skip(u32 position);

  u32 NiceLength() const { return niceLength_; }
  // Lengths are strictly increasing from 4 up to niceLength, which is
  // therefore kept at most kMaxMatches + 3.
  static constexpr u32 kMaxMatches = 512;

 private:
  u32 Insert(u32 position, Match* matches);
  u32 Hash(u32 position) const;

  const u8* data_;
  u32 size_;
  u32 windowMask_;
  u32 depth_;
  u32 niceLength_;
  u32 hashShift_;
  std::vector<u32> head_;  // position + 1 of the newest position per hash, 0: none
  std::vector<u32> tree_;  // two children (position + 1) per window slot
};

}  // namespace kova::builder
