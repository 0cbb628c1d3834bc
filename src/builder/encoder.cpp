// Compressed block writer: the block header, and the fast (greedy) level.
// The best level lives in optimal_parser.cpp.
//
// The greedy parser looks at a byte run of the byte at each position and at
// the newest two earlier positions with the same four bytes (a hash table
// without chains, so the reach is the whole input). It takes whichever
// saves the most bits over literal bytes, unless the next position saves a
// byte's worth more (one step of lazy matching), or moves on, faster and
// faster the longer no repeat turns up, so incompressible data passes quickly.
#include "builder/encoder.h"

#include <algorithm>
#include <bit>

#include "builder/match_finder.h"
#include "builder/optimal_parser.h"
#include "builder/token_writer.h"

namespace kova::builder {
namespace {

constexpr u32 kBlockMagic = 0x9EC72BA1u;

// A token is taken only when it saves more than this many bits over literal
// bytes: ending a literal run costs the next run's header (at least 4 bits).
constexpr i64 kMinGain = 6;
// After 2^kSkipLog positions without a token the step grows by one.
constexpr u32 kSkipLog = 6;

void PutLe32(std::vector<u8>& out, u32 value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<u8>(value >> (8 * i)));
}

class GreedyParser {
 public:
  GreedyParser(const u8* data, u32 size) : data_(data), size_(size) {
    u32 hashBits = std::clamp(static_cast<u32>(std::bit_width(size)), 10u, 20u);
    hashShift_ = 32 - hashBits;
    table_.assign(std::size_t{2} << hashBits, 0);
  }

  void Run(TokenWriter& out) {
    u32 position = 0;
    u32 literalStart = 0;
    // Positions with four bytes left; the rest can only be literals.
    u32 end = size_ >= kMinCopyLength ? size_ - kMinCopyLength + 1 : 0;
    Choice best = end > 0 ? Best(0) : Choice{};
    while (position < end) {
      if (best.token.length == 0) {
        position += 1 + ((position - literalStart) >> kSkipLog);
        if (position < end) best = Best(position);
        continue;
      }
      // One step of lazy matching: a token one byte later that saves at
      // least a literal byte more is worth that byte.
      Choice later = position + 1 < end ? Best(position + 1) : Choice{};
      if (later.gain >= best.gain + 8) {
        ++position;
        best = later;
        continue;
      }
      out.Literals(data_ + literalStart, position - literalStart);
      if (best.token.distance == 0)
        out.ByteRun(data_[position], best.token.length);
      else
        out.Copy(best.token.length, best.token.distance);
      u32 next = position + best.token.length;
      InsertCovered(position + 2, next, end);
      position = literalStart = next;
      if (position < end) best = Best(position);
    }
    out.Literals(data_ + literalStart, size_ - literalStart);
  }

 private:
  struct Choice {
    Match token{0, 0};  // length 0: none; distance 0: byte run
    i64 gain = kMinGain;
  };

  // The token at position saving the most bits (more than kMinGain), from a
  // byte run and the two newest positions with the same hash; enters
  // position (which has four bytes left) into the table.
  Choice Best(u32 position) {
    const u8* here = data_ + position;
    Choice best;
    if (here[0] == here[1] && here[1] == here[2]) {
      u32 run = 1 + CommonLength(here + 1, here, size_ - position - 1);
      i64 gain = 8 * i64{run} - ByteRunCost(run);
      if (gain > best.gain) best = {{run, 0}, gain};
    }
    u32* bucket = &table_[2 * std::size_t{Hash(position)}];
    u32 candidates[2] = {bucket[0], bucket[1]};
    bucket[1] = bucket[0];
    bucket[0] = position + 1;
    for (u32 candidate : candidates) {
      if (candidate == 0 || best.token.length >= size_ - position) break;
      u32 from = candidate - 1;
      u32 length = CommonLength(data_ + from, here, size_ - position);
      Match copy;
      if (length >= kMinCopyLength && UsableCopy(data_, position, position - from, length, &copy)) {
        i64 gain = 8 * i64{copy.length} - CopyCost(copy.length, copy.distance);
        if (gain > best.gain) best = {copy, gain};
      }
    }
    return best;
  }

  u32 Hash(u32 position) const { return (Load32(data_ + position) * 2654435761u) >> hashShift_; }

  // Positions inside a token are entered too, so that later repeats of them
  // are found; of a long token only the ends, which keeps long runs cheap.
  void InsertCovered(u32 first, u32 next, u32 end) {
    constexpr u32 kEdge = 8;
    u32 stop = std::min(next, end);
    u32 headEnd = std::min(stop, first + kEdge);
    for (u32 p = first; p < headEnd; ++p) Insert(p);
    for (u32 p = std::max(headEnd, stop >= kEdge ? stop - kEdge : 0); p < stop; ++p) Insert(p);
  }

  void Insert(u32 position) {
    u32* bucket = &table_[2 * std::size_t{Hash(position)}];
    bucket[1] = bucket[0];
    bucket[0] = position + 1;
  }

  const u8* data_;
  u32 size_;
  u32 hashShift_;
  // Per hash the newest two positions (+ 1; 0: none), newest first.
  std::vector<u32> table_;
};

}  // namespace

bool CompressBlock(std::span<const u8> input, CompressionLevel level, std::vector<u8>& block) {
  block.clear();
  if (input.size() > kMaxBlockInput) return false;
  u32 size = static_cast<u32>(input.size());
  // Literals cost 8 bits a byte plus a small header per run; the reserve
  // covers nearly every input in one allocation.
  block.reserve(std::size_t{size} + size / 64 + 64);
  PutLe32(block, kBlockMagic);
  PutLe32(block, size);
  TokenWriter tokens(block);
  if (level == CompressionLevel::kFast) {
    GreedyParser(input.data(), size).Run(tokens);
  } else {
    OptimalParse(input.data(), size, tokens);
  }
  tokens.Finish();
  return true;
}

}  // namespace kova::builder
