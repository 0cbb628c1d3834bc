// The encoder against the stub's decoder: every input, at both levels, must
// come back exactly. Inputs cover the shapes that stress the token choice:
// empty and tiny inputs, byte runs, repeats with periods around the minimum
// distance of 4 (which copies may not overlap), text, zeros, incompressible
// bytes and multi-megabyte mixes. Random inputs print their seed.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "builder/encoder.h"
#include "builder/token_writer.h"
#include "core/byte_buffer.h"
#include "format/block_test_support.h"
#include "format/decompress.h"

namespace kova::builder {
namespace {

using Bytes = std::vector<u8>;
constexpr CompressionLevel kLevels[] = {CompressionLevel::kFast, CompressionLevel::kBest};

const char* Name(CompressionLevel level) { return level == CompressionLevel::kFast ? "fast" : "best"; }

Bytes Compress(const Bytes& input, CompressionLevel level) {
  Bytes block;
  EXPECT_TRUE(CompressBlock(input, level, block));
  return block;
}

// Compresses, checks the header and that both decoder entry points give the
// input back without writing past the output; returns the block.
Bytes RoundTrip(const Bytes& input, CompressionLevel level) {
  Bytes block = Compress(input, level);
  EXPECT_EQ(format::BlockOutputSize(block.data(), block.size()), static_cast<i64>(input.size()));

  core::ByteBuffer buffer(block.data(), block.size());
  EXPECT_TRUE(format::Decompress(buffer, input.size())) << Name(level) << ", " << input.size() << " bytes";
  EXPECT_TRUE(buffer.Size() == input.size() && std::equal(input.begin(), input.end(), buffer.Data()))
      << Name(level) << ": decoded bytes differ, " << input.size() << " bytes";

  Bytes exact(input.size() + 32, 0x5A);
  EXPECT_TRUE(format::DecompressInto(block.data(), block.size(), exact.data(), input.size()));
  EXPECT_TRUE(std::equal(input.begin(), input.end(), exact.begin()));
  for (std::size_t i = input.size(); i < exact.size(); ++i) {
    EXPECT_EQ(exact[i], 0x5A) << "canary " << i - input.size() << " overwritten";
  }
  return block;
}

Bytes Text(std::mt19937& random, std::size_t size) {
  static const char* const kWords[] = {"the",   "setup",  "file",    "installs", "into",   "directory",
                                       "of",    "a",      "product", "Windows",  "system", "registry",
                                       "value", "\r\n",   "key",     "shortcut", "and",    "uninstall"};
  std::string text;
  while (text.size() < size) {
    text += kWords[random() % (sizeof kWords / sizeof kWords[0])];
    text += random() % 7 == 0 ? ", " : " ";
  }
  return Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

Bytes RandomBytes(std::mt19937& random, std::size_t size) {
  Bytes bytes(size);
  for (u8& b : bytes) b = static_cast<u8>(random());
  return bytes;
}

// A period-p pattern, length bytes long.
Bytes Periodic(std::size_t period, std::size_t length, u8 seed) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<u8>(seed + (i % period) * 37);
  return bytes;
}

// Pieces of every kind glued together, so that tokens meet at all offsets.
Bytes Mix(std::mt19937& random, std::size_t size) {
  Bytes out;
  while (out.size() < size) {
    std::size_t piece = 1 + random() % 2000;
    switch (random() % 6) {
      case 0: {
        Bytes t = Text(random, piece);
        out.insert(out.end(), t.begin(), t.end());
        break;
      }
      case 1: {
        Bytes r = RandomBytes(random, piece % 300);
        out.insert(out.end(), r.begin(), r.end());
        break;
      }
      case 2:
        out.insert(out.end(), piece, static_cast<u8>(random()));
        break;
      case 3: {
        Bytes p = Periodic(1 + random() % 9, piece, static_cast<u8>(random()));
        out.insert(out.end(), p.begin(), p.end());
        break;
      }
      default:
        if (out.size() > 8) {  // an earlier stretch again, near or far
          std::size_t from = random() % out.size();
          std::size_t length = std::min(piece, out.size() - from);
          for (std::size_t i = 0; i < length; ++i) out.push_back(out[from + i]);
        }
        break;
    }
  }
  out.resize(size);
  return out;
}

TEST(EncoderTest, EmptyInputGivesAHeaderOnly) {
  for (CompressionLevel level : kLevels) {
    SCOPED_TRACE(Name(level));
    Bytes block = RoundTrip({}, level);
    EXPECT_EQ(block.size(), format::kBlockHeaderSize);
  }
}

TEST(EncoderTest, EveryTinyInput) {
  // All inputs of up to 3 bytes over a small alphabet, and short runs and
  // repeats at every length up to 40.
  for (CompressionLevel level : kLevels) {
    SCOPED_TRACE(Name(level));
    for (std::size_t length = 1; length <= 3; ++length) {
      std::size_t combinations = 1;
      for (std::size_t i = 0; i < length; ++i) combinations *= 3;
      for (std::size_t code = 0; code < combinations; ++code) {
        Bytes input(length);
        for (std::size_t i = 0, c = code; i < length; ++i, c /= 3) input[i] = static_cast<u8>("a\0\xff"[c % 3]);
        RoundTrip(input, level);
      }
    }
    for (std::size_t length = 1; length <= 40; ++length) {
      RoundTrip(Bytes(length, 'x'), level);
      for (std::size_t period = 2; period <= 6; ++period) RoundTrip(Periodic(period, length, 1), level);
    }
  }
}

TEST(EncoderTest, RepeatsAtDistancesNearTheMinimum) {
  // Periods 1 to 9 cover the shortest allowed distance (4), distances a copy
  // may not use (1 to 3) and lengths just above and below the distance.
  for (CompressionLevel level : kLevels) {
    for (std::size_t period = 1; period <= 9; ++period) {
      for (std::size_t length : {7u, 8u, 9u, 17u, 100u, 4099u, 70000u}) {
        SCOPED_TRACE(::testing::Message() << Name(level) << " period " << period << " length " << length);
        Bytes input = Periodic(period, length, static_cast<u8>(period));
        input.insert(input.begin(), {'<', 'h', 'e', 'a', 'd'});
        Bytes block = RoundTrip(input, level);
        if (length >= 4099) {
          EXPECT_LT(block.size(), 200u) << "a periodic stretch should take a few dozen tokens";
        }
      }
    }
  }
}

TEST(EncoderTest, ShapedInputsRoundTripAndCompress) {
  std::mt19937 random(12345);
  struct Case {
    const char* name;
    Bytes input;
    double maxRatio;  // compressed / original, both levels
  };
  const Case cases[] = {
      {"zeros", Bytes(4 << 20, 0), 0.0001},
      {"text", Text(random, 300000), 0.40},
      {"byte runs", [&] {
         Bytes b;
         while (b.size() < 200000) b.insert(b.end(), 1 + random() % 40, static_cast<u8>(random() % 4));
         return b;
       }(),
       0.5},
      {"incompressible", RandomBytes(random, 1 << 20), 1.01},
      {"mix", Mix(random, 1 << 20), 0.8},
  };
  for (const Case& c : cases) {
    for (CompressionLevel level : kLevels) {
      SCOPED_TRACE(::testing::Message() << c.name << ", " << Name(level));
      Bytes block = RoundTrip(c.input, level);
      EXPECT_LE(static_cast<double>(block.size()), c.maxRatio * static_cast<double>(c.input.size()) + 16);
    }
  }
}

TEST(EncoderTest, IncompressibleInputGrowsByAFewBytesAtMost) {
  std::mt19937 random(99);
  for (std::size_t size : {1u, 100u, 65536u, 1000000u}) {
    Bytes input = RandomBytes(random, size);
    for (CompressionLevel level : kLevels) {
      Bytes block = RoundTrip(input, level);
      // One literal run: its header is at most 49 bits.
      EXPECT_LE(block.size(), format::kBlockHeaderSize + size + 7) << Name(level) << " " << size;
    }
  }
}

TEST(EncoderTest, RandomMixesRoundTrip) {
  std::random_device device;
  const u32 seed = device();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  for (int round = 0; round < 40; ++round) {
    std::size_t size = round < 30 ? random() % 5000 : random() % 400000;
    Bytes input = Mix(random, size);
    for (CompressionLevel level : kLevels) RoundTrip(input, level);
  }
}

TEST(EncoderTest, MegabytesOfMixedDataWithFarRepeats) {
  // A mix followed by a copy of its start: the repeat lies megabytes back.
  std::mt19937 random(7);
  Bytes input = Mix(random, 3 << 20);
  input.insert(input.end(), input.begin(), input.begin() + (256 << 10));
  for (CompressionLevel level : kLevels) {
    SCOPED_TRACE(Name(level));
    RoundTrip(input, level);
  }
}

TEST(EncoderTest, SameInputSameBytes) {
  std::mt19937 random(4242);
  Bytes input = Mix(random, 300000);
  for (CompressionLevel level : kLevels) {
    EXPECT_EQ(Compress(input, level), Compress(input, level)) << Name(level);
  }
}

TEST(EncoderTest, OutputReadsTheSameThroughTheReferenceDecoder) {
  // The bit-by-bit reference and the fast decoder agree on encoder output.
  std::mt19937 random(31337);
  for (int round = 0; round < 20; ++round) {
    Bytes input = Mix(random, random() % 20000);
    for (CompressionLevel level : kLevels) {
      Bytes out;
      ASSERT_TRUE(format::testing::ReferenceDecompress(Compress(input, level), &out));
      EXPECT_EQ(out, input) << Name(level) << " round " << round;
    }
  }
}

TEST(TokenCostTest, CostsMatchTheBitsWritten) {
  // The parsers choose by these prices; each must equal what the writer emits.
  struct Case {
    const char* name;
    u64 a, b;
  };
  const Case literals[] = {{"1", 1, 0}, {"4", 4, 0}, {"5", 5, 0}, {"17", 17, 0}, {"65", 65, 0}, {"70000", 70000, 0}};
  for (const Case& c : literals) {
    Bytes out, bytes(c.a, 'q');
    TokenWriter writer(out);
    writer.Literals(bytes.data(), c.a);
    writer.Finish();
    EXPECT_EQ(out.size(), (LiteralRunCost(c.a) + 7) / 8) << "literals " << c.name;
  }
  const Case copies[] = {{"4@4", 4, 4}, {"7@4099", 7, 4099}, {"8@4100", 8, 4100}, {"300@70000", 300, 70000},
                         {"big", 1u << 30, 1u << 31}};
  for (const Case& c : copies) {
    Bytes out;
    TokenWriter writer(out);
    for (int i = 0; i < 8; ++i) writer.Copy(c.a, c.b);  // eight tokens: whole bytes
    writer.Finish();
    EXPECT_EQ(out.size(), CopyCost(c.a, c.b)) << "copy " << c.name;
  }
  for (u64 count : {3u, 4u, 5u, 6u, 100u, 1000000u}) {
    Bytes out;
    TokenWriter writer(out);
    for (int i = 0; i < 8; ++i) writer.ByteRun(7, count);
    writer.Finish();
    EXPECT_EQ(out.size(), ByteRunCost(count)) << "byte run " << count;
  }
}

}  // namespace
}  // namespace kova::builder
