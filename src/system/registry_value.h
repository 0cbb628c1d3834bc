// Reading one registry value into a typed value, and the conversions of the
// registry layer's Get operations (to text, number and boolean). Kept apart
// from the current-key state so the rules can be read, and tested, alone.
#pragma once

#include "core/string.h"
#include "platform/registry.h"

namespace kova::system {

enum class ValueKind {
  kText,    // from REG_SZ
  kBytes,   // from REG_BINARY and REG_MULTI_SZ
  kNumber,  // from REG_DWORD
};

struct RegistryValue {
  ValueKind kind = ValueKind::kText;
  core::String text;  // the text, or the bytes of a binary or multi-string value
  i32 number = 0;
};

// The most a value may hold for the layer to read it (the registry's own
// limit for a value in its standard format). A larger value "cannot be
// read", so no size taken from the registry makes the program allocate
// without bound.
inline constexpr u32 kMaxValueBytes = 1u << 20;

// Reads value name (null or empty: the default value) of key: a first try
// into 32 bytes, and on ERROR_MORE_DATA one more into a buffer of the size
// the registry asked for. False when the key is none, the value is missing,
// too large, or of a type or size the layer does not read.
bool ReadValue(platform::RegistryKey key, const char* name, RegistryValue& value);

// An optional sign and the decimal digits at the very start; no digits give
// 0. Beyond the 32-bit range the result is the nearest limit.
i32 TextToNumber(const char* text);
// Blanks trimmed; false when empty, not greater than "0" byte by byte, or
// "n", "no" or "false" in any case; true otherwise.
bool TextToBool(const char* text);

core::String ValueToText(const RegistryValue& value);
i32 ValueToNumber(const RegistryValue& value);
bool ValueToBool(const RegistryValue& value);

}  // namespace kova::system
