// Test helpers for compressed blocks: a writer for hand-built bit streams
// (with control over every bit, including number prefixes longer than
// needed) and a reference decoder that follows the decoding steps one
// format::BitReader call at a time. The fast decoder must agree with the reference on
// every input; the unit tests and the decompress fuzz target both check it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "format/bit_reader.h"
#include "format/decompress.h"

namespace kova::format::testing {

class BlockBuilder {
 public:
  // count bits of value, least significant first.
  BlockBuilder& Bits(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) Bit(static_cast<int>((value >> i) & 1));
    return *this;
  }
  BlockBuilder& Bit(int bit) {
    if (bitCount_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (bitCount_ % 8)));
    ++bitCount_;
    return *this;
  }
  // A number with the shortest prefix that fits value, plus extraOnes more
  // ones; the value bits are capped at 32 as the reader caps them.
  BlockBuilder& Number(std::uint32_t base, std::uint32_t step, std::uint64_t value, int extraOnes = 0) {
    std::uint32_t bits = 0;
    while (bits < 64 && (value >> bits) != 0) ++bits;
    std::uint32_t ones = bits <= base ? 0 : (bits - base + step - 1) / step;
    ones += static_cast<std::uint32_t>(extraOnes);
    std::uint64_t width = base + std::uint64_t{ones} * step;
    for (std::uint32_t i = 0; i < ones; ++i) Bit(1);
    Bit(0);
    return Bits(value, static_cast<int>(width < 32 ? width : 32));
  }
  BlockBuilder& Literals(const std::vector<std::uint8_t>& bytes, int extraOnes = 0) {
    Bit(0);
    Number(2, 2, bytes.size() - 1, extraOnes);
    for (std::uint8_t b : bytes) Bits(b, 8);
    return *this;
  }
  BlockBuilder& ByteRun(std::uint8_t byte, std::uint64_t count, int extraOnes = 0) {
    Bit(1).Bit(1).Bits(byte, 8);
    return Number(1, 1, count - 3, extraOnes);
  }
  BlockBuilder& Copy(std::uint64_t length, std::uint64_t distance, int extraOnes = 0) {
    Bit(1).Bit(0);
    Number(2, 1, length - 4, extraOnes);
    return Number(12, 2, distance - 4, extraOnes);
  }

  std::size_t BitCount() const { return bitCount_; }

  // The stream behind a header.
  std::vector<std::uint8_t> Block(std::int32_t outputSize, std::uint32_t magic = format::kBlockMagic) const {
    std::vector<std::uint8_t> block;
    auto put = [&block](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) block.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(magic);
    put(static_cast<std::uint32_t>(outputSize));
    block.insert(block.end(), bytes_.begin(), bytes_.end());
    return block;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bitCount_ = 0;
};

// The decoding steps one reader call at a time. A token that would pass the
// declared size fails at once (the loop could never end exactly there), and
// so does a literal run or byte run whose bytes are missing.
inline bool ReferenceDecompress(const std::vector<std::uint8_t>& block, std::vector<std::uint8_t>* out) {
  if (block.size() < 8) return false;
  std::uint32_t magic = 0, declared = 0;
  for (int i = 0; i < 4; ++i) {
    magic |= std::uint32_t{block[i]} << (8 * i);
    declared |= std::uint32_t{block[4 + i]} << (8 * i);
  }
  if (magic != format::kBlockMagic || static_cast<std::int32_t>(declared) < 0) return false;
  std::uint64_t size = declared;
  format::BitReader reader(block.data(), block.size(), 64);
  std::vector<std::uint8_t> output;
  while (output.size() < size) {
    std::uint64_t position = output.size();
    std::uint32_t value = 0;
    if (reader.ReadBit() == 0) {
      if (!reader.ReadNumber(&value, 2, 2)) return false;
      std::uint64_t n = std::uint64_t{value} + 1;
      if (position + n > size) return false;
      output.resize(position + n);
      if (!reader.ReadBits(output.data() + position, static_cast<i64>(8 * n))) return false;
    } else if (reader.ReadBit() == 1) {
      std::uint8_t byte = 0;
      if (!reader.ReadBits(&byte, 8)) return false;
      if (!reader.ReadNumber(&value, 1, 1)) return false;
      std::uint64_t count = std::uint64_t{value} + 3;
      if (position + count > size) return false;
      output.insert(output.end(), count, byte);
    } else {
      if (!reader.ReadNumber(&value, 2, 1)) return false;
      std::uint64_t length = std::uint64_t{value} + 4;
      if (!reader.ReadNumber(&value, 12, 2)) return false;
      std::uint64_t distance = std::uint64_t{value} + 4;
      if (distance > position || length > distance || position + length > size) return false;
      for (std::uint64_t i = 0; i < length; ++i) output.push_back(output[position - distance + i]);
    }
  }
  *out = std::move(output);
  return true;
}

}  // namespace kova::format::testing
