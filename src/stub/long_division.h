// 64-bit division for the 32-bit stub. The compiler turns every 64-bit `/`
// and `%` on i686 into a call to libgcc's helpers, which bring 1.7 KiB of code
// tuned for speed; the stub divides 64-bit numbers only to print them, to lay
// out the window and to scale progress, so runtime.cpp answers those calls
// with this one loop instead. Plain C++ without a 64-bit `/` or `%`, so that
// it never calls itself, and so that the host tests can hold it against the
// processor's own division.
#pragma once

#include "core/types.h"

namespace kova::stub {

// The quotient of `dividend` by `divisor`, rounded toward zero, and the
// remainder through `remainder` when it is not null. As for `/`, the divisor
// must not be zero. Never inlined: every entry point shares the one loop.
[[gnu::noinline]] inline u64 DivideUnsigned(u64 dividend, u64 divisor, u64* remainder) {
  if (divisor <= UINT32_MAX && dividend <= UINT32_MAX) {
    // One machine division: most numbers the stub divides are this small.
    const u32 small = static_cast<u32>(divisor);
    if (remainder) *remainder = static_cast<u32>(dividend) % small;
    return static_cast<u32>(dividend) / small;
  }
  // Long division, one quotient bit per step. The partial remainder never
  // exceeds the dividend's bits taken so far, so doubling it cannot carry out
  // of 64 bits.
  u64 quotient = 0;
  u64 partial = 0;
  for (int bit = 63; bit >= 0; --bit) {
    partial = partial << 1 | (dividend >> bit & 1);
    if (partial >= divisor) {
      partial -= divisor;
      quotient |= u64{1} << bit;
    }
  }
  if (remainder) *remainder = partial;
  return quotient;
}

// C's signed division: the quotient rounded toward zero, the remainder with
// the dividend's sign. (The one overflow, INT64_MIN / -1, gives INT64_MIN.)
inline i64 DivideSigned(i64 dividend, i64 divisor) {
  const u64 quotient = DivideUnsigned(Magnitude(dividend), Magnitude(divisor), nullptr);
  return static_cast<i64>((dividend < 0) != (divisor < 0) ? 0 - quotient : quotient);
}

inline i64 RemainderSigned(i64 dividend, i64 divisor) {
  u64 remainder = 0;
  DivideUnsigned(Magnitude(dividend), Magnitude(divisor), &remainder);
  return static_cast<i64>(dividend < 0 ? 0 - remainder : remainder);
}

}  // namespace kova::stub
