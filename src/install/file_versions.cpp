// Stamps and versions of installed files; see file_versions.h.
#include "install/file_versions.h"

#include "core/array.h"
#include "install/whole_file.h"
#include "platform/file_version.h"

namespace kova::install {
namespace {

// A number of a version text: digit runs longer than an i32 holds stay at
// the largest, so the difference of two always fits the result.
constexpr i64 kMaxVersionNumber = 0x7FFFFFFF;
constexpr i32 kVersionPartWidth = 10;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

struct ParsedVersion {
  core::Array<i64> numbers;
  char letter = 0;
};

ParsedVersion ParseVersion(const char* text) {
  ParsedVersion version;
  bool inNumber = false;
  i64 number = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (IsDigit(*p)) {
      number = number * 10 + (*p - '0');
      if (number > kMaxVersionNumber) number = kMaxVersionNumber;
      inNumber = true;
      continue;
    }
    if (inNumber) {
      version.numbers.Append(number);
      number = 0;
      inNumber = false;
    }
    if (*p == '.' && version.numbers.IsEmpty()) version.numbers.Append(0);
    else if (IsLetter(*p)) version.letter = UpperAscii(*p);
  }
  if (inNumber) version.numbers.Append(number);
  return version;
}

}  // namespace

i32 CompareStamps(const format::FileStamp& a, const format::FileStamp& b) {
  const i32 left[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
  const i32 right[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
  for (int i = 0; i < 6; ++i)
    if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
  return 0;
}

bool IsOlderThan(const char* path, const format::FileStamp& stamp) {
  if (!stamp.IsSet()) return true;
  format::FileStamp existing;
  // A time that cannot be read comes back as all zeros.
  if (!ReadFileStamp(path, &existing) || !existing.IsSet()) return true;
  return CompareStamps(existing, stamp) < 0;
}

core::String NormalizeVersionText(const char* text) {
  core::String result;
  const char* part = text ? text : "";
  for (;;) {
    const char* end = part;
    while (*end && *end != '.') ++end;
    auto length = static_cast<i32>(end - part);
    for (i32 i = length; i < kVersionPartWidth; ++i) result += '0';
    result.Append(part, length);
    if (!*end) break;
    result += '.';
    part = end + 1;
  }
  result.ToUpper();
  return result;
}

core::String FileVersion(const char* path) {
  core::String raw = platform::FileVersionValue(path, kFileVersionKey);
  if (raw.IsEmpty()) return raw;
  return NormalizeVersionText(raw.CStr());
}

i32 CompareVersions(const char* a, const char* b) {
  ParsedVersion left = ParseVersion(a);
  ParsedVersion right = ParseVersion(b);
  for (i32 i = 0;; ++i) {
    bool leftEnds = i >= left.numbers.Size();
    bool rightEnds = i >= right.numbers.Size();
    if (leftEnds && rightEnds) return left.letter - right.letter;
    if (rightEnds) return 1;
    if (leftEnds) return -1;
    if (left.numbers[i] != right.numbers[i]) return static_cast<i32>(left.numbers[i] - right.numbers[i]);
  }
}

}  // namespace kova::install
