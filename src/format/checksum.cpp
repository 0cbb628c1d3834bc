// Checksum32 and Descramble; see checksum.h. Both run over the whole script
// block and the whole file data stream, so they work a word at a time; the
// word loop is unrolled so the compiler keeps several additions in flight.
#include "format/checksum.h"

#include <cstring>

#include "core/failure.h"
#include "format/byte_reader.h"

namespace kova::format {
namespace {

u32 SumWords(const u8* data, std::size_t words) {
  u32 a = 0, b = 0, c = 0, d = 0;
  std::size_t i = 0;
  for (; i + 4 <= words; i += 4) {
    a += LoadLe32(data + 4 * i);
    b += LoadLe32(data + 4 * i + 4);
    c += LoadLe32(data + 4 * i + 8);
    d += LoadLe32(data + 4 * i + 12);
  }
  for (; i < words; ++i) a += LoadLe32(data + 4 * i);
  return a + b + c + d;
}

u32 SumTail(const u8* data, std::size_t count) {
  u32 sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += static_cast<u32>(static_cast<i32>(static_cast<signed char>(data[i])));
  return sum;
}

}  // namespace

u32 Checksum32(const u8* data, i64 length) {
  if (!data || length < 1) return kChecksumSeed;
  Checksum32Stream stream;
  stream.Add(data, static_cast<std::size_t>(length));
  return stream.Finish();
}

void Checksum32Stream::Add(const u8* data, std::size_t length) {
  if (!data || length == 0) return;
  // The byte tail is summed differently from words: only the last piece may have one.
  if (tail_) core::RaiseInternalError("payload", __LINE__);
  std::size_t words = length / 4;
  sum_ += SumWords(data, words);
  std::size_t rest = length - words * 4;
  sum_ += SumTail(data + words * 4, rest);
  tail_ = tail_ || rest != 0;
  length_ += length;
}

u32 Checksum32Stream::Finish() const {
  if (length_ == 0) return kChecksumSeed;
  return sum_ + static_cast<u32>(length_);
}

void Descramble(u8* data, i64 length, u32 key) {
  if (!data || length < 1) return;
  const u8 pattern[4] = {static_cast<u8>(key), static_cast<u8>(key >> 8), static_cast<u8>(key >> 16),
                         static_cast<u8>(key >> 24)};
  std::size_t n = static_cast<std::size_t>(length);
  std::size_t i = 0;
  // Eight bytes at a time: the pattern repeats every four. Four such words an
  // iteration keep the loop at store speed wherever it lands in the code.
  u64 wide;
  u8 twice[8] = {pattern[0], pattern[1], pattern[2], pattern[3], pattern[0], pattern[1], pattern[2], pattern[3]};
  std::memcpy(&wide, twice, 8);
  for (; i + 32 <= n; i += 32) {
    u64 block[4];
    std::memcpy(block, data + i, 32);
    for (u64& word : block) word ^= wide;
    std::memcpy(data + i, block, 32);
  }
  for (; i + 8 <= n; i += 8) {
    u64 block;
    std::memcpy(&block, data + i, 8);
    block ^= wide;
    std::memcpy(data + i, &block, 8);
  }
  for (; i < n; ++i) data[i] ^= pattern[i & 3];
}

}  // namespace kova::format
