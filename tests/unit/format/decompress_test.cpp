// The bit reader and the block decoder: hand-built bit streams for each rule
// and end-of-stream case, and seeded random token streams (plain, truncated
// and damaged) on which the fast decoder must agree with the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "block_test_support.h"
#include "core/byte_buffer.h"
#include "core/memory.h"
#include "format/bit_reader.h"
#include "format/decompress.h"
#ifndef _WIN32
#include "platform/posix/host.h"
#endif

namespace kova::format {
namespace {

using testing::BlockBuilder;
using testing::ReferenceDecompress;
using Bytes = std::vector<u8>;

constexpr std::size_t kNoLimit = 0x7FFFFFFF;

core::ByteBuffer ToBuffer(const Bytes& bytes) { return core::ByteBuffer(bytes.data(), bytes.size()); }
Bytes FromBuffer(const core::ByteBuffer& buffer) {
  return Bytes(buffer.Data(), buffer.Data() + buffer.Size());
}

// Decodes through both entry points; they must agree with each other and,
// on failure, format::Decompress must leave the block untouched.
bool Decode(const Bytes& block, Bytes* out, std::size_t maxOutput = kNoLimit) {
  core::ByteBuffer buffer = ToBuffer(block);
  bool ok = format::Decompress(buffer, maxOutput);
  if (!ok) {
    EXPECT_EQ(FromBuffer(buffer), block) << "a failed decoding changed the block";
  } else {
    *out = FromBuffer(buffer);
  }
  i64 declared = format::BlockOutputSize(block.data(), block.size());
  if (declared >= 0 && static_cast<u64>(declared) <= maxOutput && declared <= (1 << 24)) {
    // Exactly sized output with canary bytes behind it.
    Bytes exact(static_cast<std::size_t>(declared) + 16, 0xA5);
    bool intoOk = format::DecompressInto(block.data(), block.size(), exact.data(), static_cast<std::size_t>(declared));
    EXPECT_EQ(intoOk, ok);
    for (std::size_t i = static_cast<std::size_t>(declared); i < exact.size(); ++i)
      EXPECT_EQ(exact[i], 0xA5) << "write past the output at " << i;
    if (ok && intoOk) {
      EXPECT_TRUE(std::equal(out->begin(), out->end(), exact.begin()));
    }
  }
  return ok;
}

// --- BitReader ---

TEST(BitReaderTest, ReadsBitsLeastSignificantFirstAndStopsAtTheEnd) {
  const u8 data[] = {0b10110010};
  format::BitReader reader(data, 1);
  const u32 expected[] = {0, 1, 0, 0, 1, 1, 0, 1};
  for (u32 bit : expected) EXPECT_EQ(reader.ReadBit(), bit);
  EXPECT_EQ(reader.Position(), 8u);
  EXPECT_EQ(reader.ReadBit(), 0u);  // nothing left: 0, and no movement
  EXPECT_EQ(reader.Position(), 8u);
}

TEST(BitReaderTest, ReadBitsFillsBytesInOrderAndKeepsBitsBeyondTheCount) {
  const u8 data[] = {0x34, 0x12, 0xFF};
  format::BitReader reader(data, sizeof data);
  u8 out[2] = {0, 0};
  ASSERT_TRUE(reader.ReadBits(out, 16));
  EXPECT_EQ(out[0], 0x34);
  EXPECT_EQ(out[1], 0x12);

  u8 partial = 0xA0;
  ASSERT_TRUE(reader.ReadBits(&partial, 4));  // low nibble from 0xFF, high nibble kept
  EXPECT_EQ(partial, 0xAF);
  EXPECT_EQ(reader.Position(), 20u);
}

TEST(BitReaderTest, ReadBitsRefusesWithoutMoving) {
  const u8 data[] = {0xFF, 0xFF};
  format::BitReader reader(data, sizeof data, 10);
  u8 out[4] = {};
  EXPECT_FALSE(reader.ReadBits(out, 0));
  EXPECT_FALSE(reader.ReadBits(out, -1));
  EXPECT_FALSE(reader.ReadBits(nullptr, 3));
  EXPECT_FALSE(reader.ReadBits(out, 7));  // 6 bits remain
  EXPECT_EQ(reader.Position(), 10u);
  EXPECT_TRUE(reader.ReadBits(out, 6));
  EXPECT_EQ(out[0], 0x3F);
}

TEST(BitReaderTest, ReadNumberCases) {
  // Streams are whole bytes, so cases about the end start the reader late:
  // skip bits are passed over first, and position is counted from there.
  struct Case {
    const char* name;
    BlockBuilder bits;
    u64 skip;
    i32 base, step;
    bool ok;
    u32 value;
    u64 position;
  };
  const Case cases[] = {
      {"no prefix", BlockBuilder().Bit(0).Bits(2, 2), 0, 2, 2, true, 2, 3},
      {"one 1 bit widens by step", BlockBuilder().Bit(1).Bit(0).Bits(13, 4), 0, 2, 2, true, 13, 6},
      {"base 12 step 2", BlockBuilder().Bits(3, 2).Bit(0).Bits(0xABCDE, 16), 0, 12, 2, true, 0xBCDE, 19},
      {"value bits capped at 32", BlockBuilder().Bits(0xFFFF, 16).Bit(0).Bits(0x89ABCDEF, 32), 0, 2, 2,
       true, 0x89ABCDEF, 49},
      {"prefix longer than 32 value bits", BlockBuilder().Bits(~0ull, 40).Bit(0).Bits(7, 32), 0, 1, 1,
       true, 7, 73},
      {"exactly 2 bits left", BlockBuilder().Bits(0x80, 8), 6, 1, 1, true, 1, 2},
      {"fewer than 2 bits left", BlockBuilder().Bits(0, 8), 7, 1, 1, false, 0, 0},
      {"prefix runs to the end", BlockBuilder().Bits(0xFF, 8), 0, 2, 2, false, 0, 8},
      {"value bits missing", BlockBuilder().Bits(0, 8), 6, 2, 2, false, 0, 1},
      {"base above 64", BlockBuilder().Bits(0, 8), 0, 65, 1, false, 0, 0},
      {"negative base", BlockBuilder().Bits(0, 8), 0, -1, 1, false, 0, 0},
      {"step 0", BlockBuilder().Bits(0, 8), 0, 2, 0, false, 0, 0},
      {"step 17", BlockBuilder().Bits(0, 8), 0, 2, 17, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = c.bits.Block(0);
    format::BitReader reader(bytes.data(), bytes.size(), 64 + c.skip);
    u32 value = 0xDEADBEEF;
    EXPECT_EQ(reader.ReadNumber(&value, c.base, c.step), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
    EXPECT_EQ(reader.Position() - 64 - c.skip, c.position);
  }
}

// --- Decompress: the rules one by one ---

TEST(DecompressTest, EmptyOutputWithoutStreamSucceeds) {
  Bytes out{1, 2, 3};
  ASSERT_TRUE(Decode(BlockBuilder().Block(0), &out));
  EXPECT_TRUE(out.empty());
}

TEST(DecompressTest, SingleLiteralFromTheBitSequence) {
  // 0 (literal run), 0 (prefix end), 00 (count 0 + 1), then 0x41 LSB first.
  Bytes out;
  ASSERT_TRUE(Decode(BlockBuilder().Bit(0).Bit(0).Bits(0, 2).Bits(0x41, 8).Block(1), &out));
  EXPECT_EQ(out, Bytes{0x41});
}

TEST(DecompressTest, EveryTokenKindAndTrailingBitsIgnored) {
  Bytes out;
  Bytes block = BlockBuilder()
                    .Literals({'a', 'b', 'c', 'd', 'e'})
                    .ByteRun('z', 4)
                    .Copy(4, 9)  // "abcd"
                    .Copy(9, 9)  // no overlap: distance equals length
                    .Bits(0x15, 7)
                    .Block(22);
  ASSERT_TRUE(Decode(block, &out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcdezzzzabcdezzzzabcd");
}

TEST(DecompressTest, RefusedBlocks) {
  Bytes two = BlockBuilder().Literals({1, 2}).Block(2);
  struct Case {
    const char* name;
    Bytes block;
    std::size_t maxOutput;
  };
  Bytes wrongMagic = BlockBuilder().Literals({1}).Block(1, 0x9EC72BA0);
  Bytes copyTooLong = BlockBuilder().Literals({1, 2, 3, 4}).Copy(5, 4).Block(9);
  Bytes literalPastSize = BlockBuilder().Literals({1, 2, 3}).Block(2);
  Bytes runPastSize = BlockBuilder().Literals({1}).ByteRun(7, 5).Block(4);
  Bytes copyPastSize = BlockBuilder().Literals({1, 2, 3, 4, 5, 6}).Copy(6, 6).Block(10);
  Bytes copyBeforeStart = BlockBuilder().Literals({1, 2, 3, 4}).Copy(4, 5).Block(8);
  // The last literal run covers exactly the rest of the output but its bytes
  // are cut off: the output would hold bytes that were never read.
  Bytes literalBytesMissing = BlockBuilder().Literals({1, 2, 3, 4, 5, 6, 7, 8}).Block(8);
  literalBytesMissing.resize(literalBytesMissing.size() - 2);
  // A byte run with fewer than 8 bits left for its byte.
  // (Read anyway, the two bits left would give a count of 3 and the output
  // size would be met with an undefined byte.)
  Bytes runByteMissing = BlockBuilder().Literals({1}).Bit(1).Bit(1).Bits(0, 2).Block(4);
  // Counts near 2^32 must not wrap around to small ones.
  Bytes hugeRun = BlockBuilder().Literals({1}).ByteRun(9, 0xFFFFFFFFull + 3).Block(4);
  Bytes hugeLiteral = BlockBuilder().Bit(0).Number(2, 2, 0xFFFFFFFF).Bits(0, 64).Block(8);
  Bytes hugeCopy = BlockBuilder().Literals({1, 2, 3, 4}).Copy(0xFFFFFFFFull + 4, 4).Block(8);
  Bytes negative = BlockBuilder().Literals({1}).Block(-1);
  Bytes stopsShort = BlockBuilder().Literals({1, 2}).Block(3);
  Bytes prefixToEnd = BlockBuilder().Literals({1, 2}).Bit(1).Bit(0).Bits(0xFF, 8).Block(6);

  const Case cases[] = {
      {"empty buffer", {}, kNoLimit},
      {"shorter than the header", Bytes(two.begin(), two.begin() + 7), kNoLimit},
      {"wrong magic", wrongMagic, kNoLimit},
      {"negative output size", negative, kNoLimit},
      {"output size above the caller's limit", two, 1},
      {"copy longer than its distance", copyTooLong, kNoLimit},
      {"copy from before the start", copyBeforeStart, kNoLimit},
      {"literal run past the size", literalPastSize, kNoLimit},
      {"byte run past the size", runPastSize, kNoLimit},
      {"copy past the size", copyPastSize, kNoLimit},
      {"literal bytes cut off", literalBytesMissing, kNoLimit},
      {"byte run without its byte", runByteMissing, kNoLimit},
      {"byte run count near 2^32", hugeRun, kNoLimit},
      {"literal count near 2^32", hugeLiteral, kNoLimit},
      {"copy length near 2^32", hugeCopy, kNoLimit},
      {"stream ends before the size", stopsShort, kNoLimit},
      {"number prefix runs to the end", prefixToEnd, kNoLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    EXPECT_FALSE(Decode(c.block, &out, c.maxOutput));
    Bytes reference;
    if (c.maxOutput == kNoLimit) {
      EXPECT_FALSE(ReferenceDecompress(c.block, &reference));
    }
  }
  Bytes out;
  EXPECT_TRUE(Decode(two, &out, 2)) << "a size equal to the limit is allowed";
}

TEST(DecompressTest, CopyReachesBackToTheFirstByte) {
  Bytes out;
  ASSERT_TRUE(Decode(BlockBuilder().Literals({1, 2, 3, 4, 5}).Copy(4, 5).Block(9), &out));
  EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5, 1, 2, 3, 4}));
}

TEST(DecompressTest, NumbersWithLongerPrefixesThanNeeded) {
  // The same tokens once with the shortest prefixes and once padded with
  // extra ones (value bits capped at 32), in the middle of a stream long
  // enough for the fast path to meet them.
  Bytes text(300);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<u8>(i * 7 + 1);
  for (int extra : {0, 3, 20, 40, 70}) {
    SCOPED_TRACE(extra);
    BlockBuilder builder;
    builder.Literals(text).Literals({9, 8, 7}, extra).ByteRun(5, 40, extra).Copy(100, 250, extra);
    builder.Literals(text).Copy(20, 300, extra);
    Bytes out;
    ASSERT_TRUE(Decode(builder.Block(300 + 3 + 40 + 100 + 300 + 20), &out));
    Bytes expected = text;
    expected.insert(expected.end(), {9, 8, 7});
    expected.insert(expected.end(), 40, 5);
    Bytes copied(expected.end() - 250, expected.end() - 150);
    expected.insert(expected.end(), copied.begin(), copied.end());
    expected.insert(expected.end(), text.begin(), text.end());
    copied.assign(expected.end() - 300, expected.end() - 280);
    expected.insert(expected.end(), copied.begin(), copied.end());
    EXPECT_EQ(out, expected);
  }
}

// --- Random token streams against the reference ---

// Both decoders refuse block, or both give the same bytes.
void ExpectLikeTheReference(const Bytes& block) {
  Bytes out, reference;
  bool ok = Decode(block, &out);
  ASSERT_EQ(ok, ReferenceDecompress(block, &reference));
  if (ok) {
    ASSERT_EQ(out, reference);
  }
}

// Flips one random bit after the block's first 8 bytes; returns its number.
std::size_t FlipRandomBit(Bytes& block, std::mt19937& random) {
  std::size_t bit = 64 + random() % ((block.size() - 8) * 8);
  block[bit / 8] = static_cast<u8>(block[bit / 8] ^ (1u << (bit % 8)));
  return bit;
}

struct RandomStream {
  Bytes block;
  Bytes expected;
};

// Valid streams with every token kind, long and short, near and far, after
// a byte run of leadingRun bytes when asked for.
RandomStream MakeRandomStream(std::mt19937& random, std::size_t targetSize, u64 leadingRun = 0) {
  BlockBuilder builder;
  Bytes out;
  if (leadingRun > 0) {
    builder.ByteRun('L', leadingRun);
    out.assign(leadingRun, 'L');
    targetSize += leadingRun;
  }
  auto below = [&random](u64 n) { return static_cast<u64>(random() % n); };
  while (out.size() < targetSize) {
    int extra = below(16) == 0 ? static_cast<int>(below(24)) : 0;
    u64 kind = below(10);
    if (kind < 3 || out.size() < 8) {
      u64 n = below(8) == 0 ? 1 + below(200) : 1 + below(12);
      Bytes literal(n);
      for (u8& b : literal) b = static_cast<u8>(below(4) == 0 ? random() : 'a' + below(3));
      builder.Literals(literal, extra);
      out.insert(out.end(), literal.begin(), literal.end());
    } else if (kind < 5) {
      u64 count = below(6) == 0 ? 3 + below(500) : 3 + below(20);
      u8 byte = static_cast<u8>(random());
      builder.ByteRun(byte, count, extra);
      out.insert(out.end(), count, byte);
    } else {
      u64 distance = 4 + below(out.size() - 3);
      if (below(3) == 0) distance = 4 + below(std::min<u64>(out.size() - 3, 20));
      u64 length = 4 + below(distance - 3);
      if (below(2) == 0) length = std::min<u64>(length, 4 + below(16));
      builder.Copy(length, distance, extra);
      std::size_t from = out.size() - distance;
      for (u64 i = 0; i < length; ++i) out.push_back(out[from + i]);
    }
  }
  if (below(2) == 0) builder.Bits(random(), static_cast<int>(below(20)));
  return {builder.Block(static_cast<i32>(out.size())), out};
}

TEST(DecompressTest, RandomStreamsDecodeToTheirTokens) {
  std::random_device device;
  const u32 seed = device();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 200; ++round) {
    std::size_t size = round < 100 ? 1 + random() % 64 : 1 + random() % 20000;
    RandomStream stream = MakeRandomStream(random, size);
    Bytes out;
    ASSERT_TRUE(Decode(stream.block, &out)) << "round " << round;
    ASSERT_EQ(out, stream.expected) << "round " << round;
  }
}

TEST(DecompressTest, CutAndDamagedStreamsAgreeWithTheReference) {
  std::random_device device;
  const u32 seed = device();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 60; ++round) {
    RandomStream stream = MakeRandomStream(random, 1 + random() % 3000);
    // Every cut inside the last 40 bytes, and a few further in.
    std::size_t size = stream.block.size();
    for (std::size_t cut = 0; cut < 48; ++cut) {
      std::size_t keep = cut < 40 ? size - std::min(size, cut + 1) : random() % size;
      Bytes cutBlock(stream.block.begin(), stream.block.begin() + keep);
      ASSERT_NO_FATAL_FAILURE(ExpectLikeTheReference(cutBlock)) << "round " << round << " keep " << keep;
    }
    for (int flip = 0; flip < 24; ++flip) {
      Bytes damaged = stream.block;
      std::size_t bit = FlipRandomBit(damaged, random);
      ASSERT_NO_FATAL_FAILURE(ExpectLikeTheReference(damaged)) << "round " << round << " bit " << bit;
    }
  }
}

// Blocks whose output is far larger than the block itself are read once
// without writing before their output is allocated; cut and damaged ones
// must still agree with the reference.
TEST(DecompressTest, FarLargerOutputsAgreeWithTheReference) {
  std::random_device device;
  const u32 seed = device();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 6; ++round) {
    RandomStream stream = MakeRandomStream(random, 1 + random() % 3000, (u64{1} << 20) + random() % 4096);
    Bytes out;
    ASSERT_TRUE(Decode(stream.block, &out)) << "round " << round;
    ASSERT_EQ(out, stream.expected) << "round " << round;
    for (int variant = 0; variant < 10; ++variant) {
      Bytes damaged = stream.block;
      if (variant < 4)
        damaged.resize(damaged.size() - 1 - random() % std::min<std::size_t>(damaged.size() - 9, 40));
      else
        FlipRandomBit(damaged, random);
      ASSERT_NO_FATAL_FAILURE(ExpectLikeTheReference(damaged)) << "round " << round << " variant " << variant;
    }
  }
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizers' allocation hooks (GCC ships no header declaring them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
std::size_t gLargestAllocation = 0;
void NoteAllocation(const volatile void*, std::size_t size) {
  if (size > gLargestAllocation) gLargestAllocation = size;
}
void NoteRelease(const volatile void*) {}
#endif

// A few bytes declaring up to 2 GiB of output are refused without that
// output being allocated (with ASan the allocations are watched).
TEST(DecompressTest, HugeDeclaredSizesAreNotAllocated) {
#if defined(__SANITIZE_ADDRESS__)
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteRelease) != 0;
  ASSERT_TRUE(hooked);
#endif
  const Bytes blocks[] = {
      BlockBuilder().Literals({1, 2, 3}).Block(0x7FFFFFFF),
      BlockBuilder().Literals({1, 2, 3, 4}).ByteRun(5, 1000).Copy(4, 8).Block(0x40000000),
      BlockBuilder().ByteRun(0, 0x7FFFFFFE).Block(0x7FFFFFFF),  // one byte short
  };
  for (const Bytes& block : blocks) {
#if defined(__SANITIZE_ADDRESS__)
    gLargestAllocation = 0;
#endif
    Bytes out;
    EXPECT_FALSE(Decode(block, &out));
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(gLargestAllocation, std::size_t{2} << 20);
#endif
  }
}

TEST(DecompressTest, RandomBytesAgreeWithTheReference) {
  std::random_device device;
  const u32 seed = device();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 2000; ++round) {
    Bytes block = BlockBuilder().Block(static_cast<i32>(random() % 300));
    std::size_t length = random() % 120;
    for (std::size_t i = 0; i < length; ++i) block.push_back(static_cast<u8>(random()));
    ASSERT_NO_FATAL_FAILURE(ExpectLikeTheReference(block)) << "round " << round;
  }
}

TEST(DecompressTest, LargeOutputFromFewBits) {
  // 1 MiB from a few bytes: byte runs and doubling copies.
  BlockBuilder builder;
  builder.Literals({'x', 'y', 'z', 'w'});
  u64 size = 4;
  while (size * 2 <= (1u << 20)) {
    builder.Copy(size, size);
    size *= 2;
  }
  builder.ByteRun(0, 1000);
  Bytes out;
  ASSERT_TRUE(Decode(builder.Block(static_cast<i32>(size + 1000)), &out));
  ASSERT_EQ(out.size(), size + 1000);
  for (u64 i = 0; i < size; ++i) ASSERT_EQ(out[i], "xyzw"[i % 4]) << i;
  for (u64 i = size; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}

#ifndef _WIN32
// The host tool maps a large output's pages ahead on a second thread while
// the decoder writes: the bytes come out the same, and a block that fails
// part-way returns with the thread stopped.
TEST(DecompressTest, PagesMappedAheadChangeNothing) {
  platform::posix::MapPagesAhead();
  BlockBuilder builder;
  builder.Literals({'p', 'a', 'g', 'e', 's', '!', '\n'});
  u64 size = 7;
  while (size * 2 <= (u64{48} << 20)) {
    builder.Copy(size, size);
    size *= 2;
  }
  builder.ByteRun(0x5A, 4096);
  Bytes block = builder.Block(static_cast<i32>(size + 4096));
  Bytes out;
  ASSERT_TRUE(Decode(block, &out));
  ASSERT_EQ(out.size(), size + 4096);
  for (u64 i = 0; i < size; ++i) ASSERT_EQ(out[i], "pages!\n"[i % 7]) << i;
  for (u64 i = size; i < out.size(); ++i) ASSERT_EQ(out[i], 0x5A) << i;
  Bytes cut(block.begin(), block.end() - 4);
  EXPECT_FALSE(Decode(cut, &out));
  core::SetPagesAheadHandler(nullptr);
}
#endif

}  // namespace
}  // namespace kova::format
