// The stub's own 64-bit division against the processor's: the edges of the
// one-instruction path and of the long division, divisors above 2^63, the
// signed overflow, and random operands of every width.
#include "stub/long_division.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace kova::stub {
namespace {

void ExpectLikeTheProcessor(u64 a, u64 b) {
  u64 remainder = ~u64{0};
  EXPECT_EQ(DivideUnsigned(a, b, &remainder), a / b) << a << " / " << b;
  EXPECT_EQ(remainder, a % b) << a << " % " << b;
  EXPECT_EQ(DivideUnsigned(a, b, nullptr), a / b);
  const i64 x = static_cast<i64>(a);
  const i64 y = static_cast<i64>(b);
  if (y == -1) return;  // x / -1 overflows for INT64_MIN: checked on its own below
  EXPECT_EQ(DivideSigned(x, y), x / y) << x << " / " << y;
  EXPECT_EQ(RemainderSigned(x, y), x % y) << x << " % " << y;
}

TEST(LongDivision, EdgesAgreeWithTheProcessor) {
  const u64 edges[] = {1,
                       2,
                       3,
                       7,
                       10,
                       1000,
                       146097,
                       UINT32_MAX - 1,
                       UINT32_MAX,
                       u64{UINT32_MAX} + 1,
                       u64{UINT32_MAX} + 2,
                       u64{1} << 62,
                       (u64{1} << 63) - 1,
                       u64{1} << 63,
                       (u64{1} << 63) + 1,
                       UINT64_MAX - 1,
                       UINT64_MAX,
                       0x8000000000000001,
                       0xFFFFFFFF00000000,
                       0x123456789ABCDEF0};
  for (u64 a : edges) {
    ExpectLikeTheProcessor(0, a);
    for (u64 b : edges) ExpectLikeTheProcessor(a, b);
  }
}

TEST(LongDivision, SignedOverflowAndSigns) {
  EXPECT_EQ(DivideSigned(INT64_MIN, -1), INT64_MIN);
  EXPECT_EQ(RemainderSigned(INT64_MIN, -1), 0);
  EXPECT_EQ(DivideSigned(-7, 2), -3);
  EXPECT_EQ(RemainderSigned(-7, 2), -1);
  EXPECT_EQ(DivideSigned(7, -2), -3);
  EXPECT_EQ(RemainderSigned(7, -2), 1);
  EXPECT_EQ(DivideSigned(-7, -2), 3);
  EXPECT_EQ(RemainderSigned(-7, -2), -1);
  EXPECT_EQ(DivideSigned(INT64_MIN, INT64_MAX), -1);
  EXPECT_EQ(RemainderSigned(INT64_MIN, INT64_MAX), -1);
}

TEST(LongDivision, RandomOperandsOfEveryWidth) {
  std::mt19937_64 random(20261211);
  for (int i = 0; i < 20000; ++i) {
    const u64 a = random() >> (random() % 64);
    const u64 b = random() >> (random() % 64);
    if (b != 0) ExpectLikeTheProcessor(a, b);
  }
}

}  // namespace
}  // namespace kova::stub
