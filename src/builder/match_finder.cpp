// Repeat search for the encoder; see match_finder.h.
#include "builder/match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "builder/token_writer.h"

namespace kova::builder {

bool UsableCopy(const u8* data, u32 position, u32 distance, u32 length, Match* copy) {
  if (length < kMinCopyLength) return false;
  if (distance >= kMinCopyDistance && length <= distance) {
    *copy = {length, distance};
    return true;
  }
  // The bytes from position - distance to position + length repeat with
  // period `distance`. Any multiple of it whose source still lies inside the
  // repeating stretch gives the same bytes, and a multiple >= length gives
  // them all. Find how far back the stretch reaches, looking no further than
  // that multiple needs.
  u32 wanted = std::max(length, kMinCopyDistance);
  wanted = (wanted + distance - 1) / distance * distance;
  u32 start = position - distance;
  u32 lowest = wanted <= position ? position - wanted : 0;
  while (start > lowest && data[start - 1] == data[start - 1 + distance]) --start;
  u32 reach = (position - start) / distance * distance;
  u32 far = std::min(wanted, reach);
  if (far < kMinCopyDistance) return false;
  *copy = {std::min(length, far), far};
  return copy->length >= kMinCopyLength;
}

BinaryTreeMatchFinder::BinaryTreeMatchFinder(const u8* data, u32 size, u32 windowLog, u32 depth,
                                             u32 niceLength)
    : data_(data), size_(size), depth_(depth),
      niceLength_(std::clamp(niceLength, kMinCopyLength, kMaxMatches + kMinCopyLength - 1)) {
  u32 windowSize = std::min(u32{1} << windowLog, std::bit_ceil(std::max(size, u32{2})));
  windowMask_ = windowSize - 1;
  u32 hashBits = std::clamp(static_cast<u32>(std::bit_width(size)), 12u, 22u);
  hashShift_ = 32 - hashBits;
  head_.assign(std::size_t{1} << hashBits, 0);
  tree_.assign(std::size_t{2} * windowSize, 0);
}

u32 BinaryTreeMatchFinder::Hash(u32 position) const {
  return (Load32(data_ + position) * 2654435761u) >> hashShift_;
}

u32 BinaryTreeMatchFinder::Find(u32 position, Match* matches) { return Insert(position, matches); }

void BinaryTreeMatchFinder::Skip(u32 position) { Insert(position, nullptr); }

u32 BinaryTreeMatchFinder::Insert(u32 position, Match* matches) {
  if (size_ - position < kMinCopyLength) return 0;
  const u8* here = data_ + position;
  u32 limit = std::min(niceLength_, size_ - position);
  u32 h = Hash(position);
  u32 candidate = head_[h];
  head_[h] = position + 1;

  // The new node's subtrees: positions whose following bytes sort below
  // (smaller) and above (larger) those at position.
  u32* smaller = &tree_[2 * std::size_t{position & windowMask_}];
  u32* larger = smaller + 1;
  u32 count = 0;

  if (candidate != 0 && position - (candidate - 1) > windowMask_) {
    // The newest position with this hash is beyond the tree's reach; it is
    // still a valid source, so try it alone.
    *smaller = *larger = 0;
    if (!matches) return 0;
    u32 from = candidate - 1;
    u32 length = CommonLength(data_ + from, here, limit);
    if (length >= kMinCopyLength) matches[count++] = {length, position - from};
    return count;
  }

  u32 smallerLength = 0, largerLength = 0, best = kMinCopyLength - 1;
  for (u32 steps = depth_; candidate != 0 && steps != 0; --steps) {
    u32 from = candidate - 1;
    u32 distance = position - from;
    if (distance > windowMask_) break;
    u32* pair = &tree_[2 * std::size_t{from & windowMask_}];
    u32 length = std::min(smallerLength, largerLength);
    length += CommonLength(data_ + from + length, here + length, limit - length);
    if (length > best) {
      best = length;
      if (matches && count < kMaxMatches) matches[count++] = {length, distance};
      if (length == limit) {
        // Equal as far as the tree looks: the new node replaces the old one.
        *smaller = pair[0];
        *larger = pair[1];
        return count;
      }
    }
    if (data_[from + length] < here[length]) {
      *smaller = candidate;
      smaller = pair + 1;
      candidate = *smaller;
      smallerLength = length;
    } else {
      *larger = candidate;
      larger = pair;
      candidate = *larger;
      largerLength = length;
    }
  }
  *smaller = *larger = 0;
  return count;
}

}  // namespace kova::builder
