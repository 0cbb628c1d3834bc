// Fixed-width integer names used across the engine, and the magnitude of a
// signed one. The archive, the install script and the registry all speak in
// explicit 8/16/32/64-bit quantities.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kova {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

// The size of a signed number without its sign; INT64_MIN's fits too.
inline u64 Magnitude(i64 value) { return value < 0 ? 0 - static_cast<u64>(value) : static_cast<u64>(value); }

}  // namespace kova
