// String storage: construction, the resizing rule, append, insert and erase,
// comparison. Searching, taking apart and formatting live in their own files.
#include "core/string.h"

#include <cstdlib>
#include <cstring>

#include "core/failure.h"
#include "core/memory.h"

namespace kova::core {
namespace {

constexpr i32 kSlack = 25;
constexpr i32 kShrinkKeep = 512;

i32 TextLength(const char* text) {
  if (!text) return 0;
  std::size_t n = std::strlen(text);
  if (n > static_cast<std::size_t>(kMaxStringLength)) RaiseInternalError("Core", __LINE__);
  return static_cast<i32>(n);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

}  // namespace

bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

bool IsBlankText(const char* text) {
  if (!text) return true;
  for (; *text; ++text)
    if (!IsBlank(*text)) return false;
  return true;
}

String::String(const char* text) : String(text, TextLength(text)) {}

String::String(const char* text, i32 length) {
  if (!text || length < 1) return;
  if (length > kMaxStringLength) RaiseInternalError("Core", __LINE__);
  buffer_ = static_cast<char*>(std::malloc(static_cast<std::size_t>(length + kSlack)));
  if (!buffer_) RaiseOutOfMemory(OutOfMemoryKind::kConstruct, length + kSlack);
  std::memcpy(buffer_, text, static_cast<std::size_t>(length));
  buffer_[length] = '\0';
  length_ = length;
  capacity_ = length + kSlack;
}

String::String(const String& other) : String(other.buffer_, other.length_) {}

String::String(String&& other) noexcept
    : buffer_(other.buffer_), length_(other.length_), capacity_(other.capacity_) {
  other.buffer_ = nullptr;
  other.length_ = other.capacity_ = 0;
}

String::~String() { Release(buffer_); }

String& String::operator=(const String& other) {
  if (this != &other) Assign(other.buffer_, other.length_);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    Release(buffer_);
    buffer_ = other.buffer_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.buffer_ = nullptr;
    other.length_ = other.capacity_ = 0;
  }
  return *this;
}

String& String::operator=(const char* text) {
  Assign(text, TextLength(text));
  return *this;
}

void String::SetAt(i32 index, char c) {
  if (index < 0 || index >= length_) RaiseInternalError("Core", __LINE__);
  buffer_[index] = c;
}

void String::SetLength(i32 length) {
  if (length < 1) {
    Release(buffer_);
    buffer_ = nullptr;
    length_ = capacity_ = 0;
    return;
  }
  if (length == length_) return;
  if (length < capacity_ && capacity_ - kShrinkKeep <= length) {
    length_ = length;
    buffer_[length] = '\0';
    return;
  }
  if (length > kMaxStringLength) RaiseInternalError("Core", __LINE__);
  i32 capacity = length + kSlack;
  char* grown = static_cast<char*>(Reallocate(buffer_, static_cast<std::size_t>(capacity)));
  if (capacity > capacity_) {
    std::memset(grown + capacity_, 0, static_cast<std::size_t>(capacity - capacity_));
  }
  buffer_ = grown;
  capacity_ = capacity;
  length_ = length;
  buffer_[length] = '\0';
}

void String::Assign(const char* text, i32 length) {
  if (!text || length < 1) {
    SetLength(0);
    return;
  }
  // The source may live inside this very buffer; copy it out first.
  if (buffer_ && text >= buffer_ && text < buffer_ + capacity_) {
    String copy(text, length);
    *this = static_cast<String&&>(copy);
    return;
  }
  SetLength(length);
  std::memcpy(buffer_, text, static_cast<std::size_t>(length));
}

String& String::Append(const char* text, i32 length) {
  if (!text || length < 1) return *this;
  if (buffer_ && text >= buffer_ && text < buffer_ + capacity_) {
    String copy(text, length);
    return Append(copy.buffer_, copy.length_);
  }
  if (length > kMaxStringLength - length_) RaiseInternalError("Core", __LINE__);
  i32 old = length_;
  SetLength(old + length);
  std::memcpy(buffer_ + old, text, static_cast<std::size_t>(length));
  return *this;
}

String& String::Append(const char* text) { return Append(text, TextLength(text)); }

void String::Insert(i32 position, const char* text, i32 length) {
  if (!text || length < 1) return;
  if (position < 0) position = 0;
  if (position > length_) position = length_;
  String copy(text, length);  // text may point into this buffer
  if (length > kMaxStringLength - length_) RaiseInternalError("Core", __LINE__);
  i32 old = length_;
  SetLength(old + length);
  std::memmove(buffer_ + position + length, buffer_ + position, static_cast<std::size_t>(old - position));
  std::memcpy(buffer_ + position, copy.buffer_, static_cast<std::size_t>(length));
}

void String::Erase(i32 position, i32 count) {
  if (position < 0 || position >= length_ || count < 1) return;
  if (count > length_ - position) count = length_ - position;
  std::memmove(buffer_ + position, buffer_ + position + count,
               static_cast<std::size_t>(length_ - position - count));
  SetLength(length_ - count);
}

String String::Left(i32 count) const { return Mid(0, count); }

String String::Mid(i32 position, i32 count) const {
  if (position < 0) position = 0;
  if (position >= length_ || count < 1) return String();
  if (count > length_ - position) count = length_ - position;
  return String(buffer_ + position, count);
}

String String::Right(i32 count) const {
  if (count >= length_) return *this;
  return Mid(length_ - count, count);
}

bool String::Equals(const char* text) const {
  return std::strcmp(CStr(), text ? text : "") == 0;
}

bool String::EqualsNoCase(const char* text) const {
  const char* a = CStr();
  const char* b = text ? text : "";
  for (; *a && LowerAscii(*a) == LowerAscii(*b); ++a, ++b) {
  }
  return LowerAscii(*a) == LowerAscii(*b);
}

bool String::StartsWithNoCase(const char* text) const {
  i32 n = TextLength(text);
  if (n > length_) return false;
  for (i32 i = 0; i < n; ++i)
    if (LowerAscii(buffer_[i]) != LowerAscii(text[i])) return false;
  return true;
}

bool String::EndsWithNoCase(const char* text) const {
  i32 n = TextLength(text);
  if (n > length_) return false;
  for (i32 i = 0; i < n; ++i)
    if (LowerAscii(buffer_[length_ - n + i]) != LowerAscii(text[i])) return false;
  return true;
}

void String::ToLower() {
  for (i32 i = 0; i < length_; ++i) buffer_[i] = LowerAscii(buffer_[i]);
}

void String::ToUpper() {
  for (i32 i = 0; i < length_; ++i) buffer_[i] = UpperAscii(buffer_[i]);
}

String operator+(const String& a, const String& b) {
  String result(a);
  result.Append(b);
  return result;
}

String operator+(const String& a, const char* b) {
  String result(a);
  result.Append(b);
  return result;
}

}  // namespace kova::core
