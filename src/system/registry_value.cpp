// Typed registry values and their conversions; see registry_value.h.
#include "system/registry_value.h"

#include <cstring>

#include "core/memory.h"
#include "format/byte_reader.h"

namespace kova::system {
namespace {

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegMultiSz;
using platform::kRegSz;

constexpr u32 kFirstTryBytes = 32;

// The bytes a query returned, as the layer's typed value. A REG_SZ drops its
// stored NUL; a REG_DWORD must be exactly 4 bytes (little-endian, as the
// registry keeps it).
bool Convert(u32 type, const u8* bytes, u32 size, RegistryValue& value) {
  const char* text = reinterpret_cast<const char*>(bytes);
  switch (type) {
    case kRegSz:
      if (size > 0 && bytes[size - 1] == 0) --size;
      value.kind = ValueKind::kText;
      value.text.Assign(text, static_cast<i32>(size));
      return true;
    case kRegBinary:
    case kRegMultiSz:
      value.kind = ValueKind::kBytes;
      value.text.Assign(text, static_cast<i32>(size));
      return true;
    case kRegDword:
      if (size != 4) return false;
      value.kind = ValueKind::kNumber;
      value.number = static_cast<i32>(format::LoadLe32(bytes));
      return true;
    default:
      return false;
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ReadValue(platform::RegistryKey key, const char* name, RegistryValue& value) {
  if (!key) return false;
  u8 first[kFirstTryBytes];
  u32 type = 0;
  u32 size = kFirstTryBytes;
  platform::SystemError status = platform::QueryRegistryValue(key, name, &type, first, &size);
  if (status == platform::kErrorSuccess) return size <= kFirstTryBytes && Convert(type, first, size, value);
  if (status != platform::kErrorMoreData) return false;
  // The size comes from the registry: only the types read here are worth a
  // buffer, and never one beyond the limit. The second query is given
  // exactly that buffer; a value that grew in between fails it and counts
  // as unreadable rather than being chased.
  if (type != kRegSz && type != kRegBinary && type != kRegMultiSz) return false;
  if (size == 0 || size > kMaxValueBytes) return false;
  u8* buffer = static_cast<u8*>(core::Allocate(size));
  u32 bufferSize = size;
  status = platform::QueryRegistryValue(key, name, &type, buffer, &bufferSize);
  bool read = status == platform::kErrorSuccess && bufferSize <= size && Convert(type, buffer, bufferSize, value);
  core::Release(buffer);
  return read;
}

i32 TextToNumber(const char* text) {
  if (!text) return 0;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // Accumulated as a magnitude that stops growing past the 32-bit range, so
  // a long run of digits saturates instead of overflowing.
  constexpr i64 kLimit = i64{1} << 31;
  i64 magnitude = 0;
  for (; IsDigit(*text); ++text) {
    magnitude = magnitude * 10 + (*text - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<i32>(-magnitude);
  return static_cast<i32>(magnitude >= kLimit ? kLimit - 1 : magnitude);
}

bool TextToBool(const char* text) {
  core::String trimmed(text);
  trimmed.Trim();
  if (trimmed.IsEmpty()) return false;
  if (std::strcmp(trimmed.CStr(), "0") <= 0) return false;
  return !trimmed.EqualsNoCase("n") && !trimmed.EqualsNoCase("no") && !trimmed.EqualsNoCase("false");
}

core::String ValueToText(const RegistryValue& value) {
  if (value.kind == ValueKind::kNumber) return core::Formatted("%d", value.number);
  return value.text;
}

i32 ValueToNumber(const RegistryValue& value) {
  return value.kind == ValueKind::kNumber ? value.number : TextToNumber(value.text.CStr());
}

bool ValueToBool(const RegistryValue& value) {
  return value.kind == ValueKind::kNumber ? value.number != 0 : TextToBool(value.text.CStr());
}

}  // namespace kova::system
