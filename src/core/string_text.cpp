// Taking text apart: trimming, dropping separators, quoted runs, lines from the
// front of a buffer, and the leading number of a text. The uninstaller reads
// Uninstall.DAT line by line and the shared-file list item by item with these,
// so each operation removes exactly what it returns.
#include <cstdint>
#include <cstring>

#include "core/string.h"

namespace kova::core {
namespace {

bool InSet(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the line at the front and of the break that ends it (0 when the
// text has no break).
struct LineExtent {
  i32 line;
  i32 breakLength;
};

LineExtent FirstLine(const char* text, i32 length) {
  for (i32 i = 0; i < length; ++i) {
    const char c = text[i];
    if (c != '\0' && c != '\n' && c != '\r') continue;
    const bool pair = i + 1 < length && ((c == '\n' && text[i + 1] == '\r') || (c == '\r' && text[i + 1] == '\n'));
    return {i, pair ? 2 : 1};
  }
  return {length, 0};
}

String TakeFirstLine(String& text, bool withBreak) {
  const LineExtent extent = FirstLine(text.Data(), text.Length());
  if (extent.breakLength == 0) {
    String line(static_cast<String&&>(text));
    return line;
  }
  String line(text.Data(), withBreak ? extent.line + extent.breakLength : extent.line);
  text.Erase(0, extent.line + extent.breakLength);
  return line;
}

}  // namespace

void String::TrimLeft(const char* set) {
  if (!set) set = kBlanks;
  i32 n = 0;
  while (n < length_ && InSet(buffer_[n], set)) ++n;
  if (n > 0) Erase(0, n);
}

void String::TrimRight(const char* set) {
  if (!set) set = kBlanks;
  i32 n = length_;
  while (n > 0 && InSet(buffer_[n - 1], set)) --n;
  SetLength(n);
}

void String::RemoveAll(char c, i32 position, i32 count) {
  // The range [position, position + count) clipped to the text.
  const i64 rangeEnd = static_cast<i64>(position) + count;
  const i32 begin = position < 0 ? 0 : position;
  const i32 end = rangeEnd > length_ ? length_ : static_cast<i32>(rangeEnd);
  if (begin >= end) return;
  i32 kept = begin;
  for (i32 i = begin; i < end; ++i)
    if (buffer_[i] != c) buffer_[kept++] = buffer_[i];
  if (kept == end) return;
  std::memmove(buffer_ + kept, buffer_ + end, static_cast<std::size_t>(length_ - end));
  SetLength(length_ - (end - kept));
}

String String::TakeQuoted(i32 position) {
  if (position < 0 || position >= length_ || buffer_[position] != '"') return String();
  String text;
  // An unclosed run reaches to the end of the string.
  i32 runEnd = length_;
  i32 i = position + 1;
  while (i < length_) {
    const void* hit = std::memchr(buffer_ + i, '"', static_cast<std::size_t>(length_ - i));
    if (!hit) {
      text.Append(buffer_ + i, length_ - i);
      break;
    }
    const i32 quote = static_cast<i32>(static_cast<const char*>(hit) - buffer_);
    text.Append(buffer_ + i, quote - i);
    if (quote + 1 < length_ && buffer_[quote + 1] == '"') {
      text.Append('"');
      i = quote + 2;
      continue;
    }
    runEnd = quote + 1;
    break;
  }
  Erase(position, runEnd - position);
  return text;
}

String String::TakeLine() { return TakeFirstLine(*this, false); }

String String::TakeLineWithBreak() { return TakeFirstLine(*this, true); }

i64 String::ToNumber() const {
  i32 i = 0;
  while (i < length_ && !IsDigit(buffer_[i]) && buffer_[i] != '+' && buffer_[i] != '-' && buffer_[i] != '.') ++i;
  if (i == length_) return 0;
  bool negative = false;
  if (buffer_[i] == '+' || buffer_[i] == '-') negative = buffer_[i++] == '-';
  // Thousands separators are dropped from the sign on; a value beyond the
  // 64-bit range saturates rather than wrapping.
  const u64 limit = negative ? static_cast<u64>(INT64_MAX) + 1 : static_cast<u64>(INT64_MAX);
  u64 value = 0;
  for (; i < length_; ++i) {
    const char c = buffer_[i];
    if (c == ',') continue;
    if (!IsDigit(c)) break;
    const u64 digit = static_cast<u64>(c - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  if (!negative) return static_cast<i64>(value);
  return value == static_cast<u64>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<i64>(value);
}

}  // namespace kova::core
