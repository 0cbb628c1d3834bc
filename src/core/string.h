// String: the engine's one text type, an 8-bit ANSI string with an owned,
// NUL-terminated buffer. Paths, names, messages and script texts all live in
// it. The storage rules are fixed because the many small appends of an
// installation (paths, log lines, batch files) depend on them: 25 characters of
// slack on every (re)allocation, and shrinking by up to 512 characters keeps
// the buffer. An empty String holds no buffer at all.
#pragma once

#include <cstdarg>

#include "core/types.h"

namespace kova::core {

// Options of Find and Replace.
inline constexpr u32 kFindNoCase = 0x0001;      // ASCII letters compared lower-cased
inline constexpr u32 kFindWholeWord = 0x0002;   // neighbours must not be word characters
inline constexpr u32 kFindWildcard = 0x0004;    // '?' in the pattern matches any one character
inline constexpr u32 kReplaceFirst = 0x0008;    // Replace: only the first match, returns its position
inline constexpr u32 kFindSkipQuoted = 0x0010;  // no match inside or at a double-quoted run
inline constexpr u32 kFindReturnEnd = 0x2000;   // Find: position just after the match

inline constexpr i32 kWholePattern = 0x7FFFFFFF;
inline constexpr i32 kMaxStringLength = 0x40000000;

// Space, CR, LF and TAB: the default set of the trimming operations.
inline constexpr const char* kBlanks = " \r\n\t";

bool IsBlank(char c);
bool IsBlankText(const char* text);  // null, empty or only blanks

class String {
 public:
  String() = default;
  String(const char* text);  // NOLINT(google-explicit-constructor): texts convert freely
  String(const char* text, i32 length);
  String(const String& other);
  String(String&& other) noexcept;
  ~String();

  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  String& operator=(const char* text);

  // Never null: the empty String yields "".
  const char* CStr() const { return buffer_ ? buffer_ : ""; }
  // The buffer itself: null when empty.
  char* Data() { return buffer_; }
  const char* Data() const { return buffer_; }
  i32 Length() const { return length_; }
  i32 Capacity() const { return capacity_; }
  bool IsEmpty() const { return length_ == 0; }

  // The character at index, or NUL outside 0..Length()-1.
  char operator[](i32 index) const {
    return index >= 0 && index < length_ ? buffer_[index] : '\0';
  }
  // Writes one character; an index outside the text is an internal error.
  void SetAt(i32 index, char c);

  // The resizing rule: see the file comment. Characters past the old length
  // are left as they were in the buffer (zero after a fresh allocation).
  void SetLength(i32 length);
  void Clear() { SetLength(0); }

  void Assign(const char* text, i32 length);
  String& Append(const char* text, i32 length);
  String& Append(const char* text);
  String& Append(const String& text) { return Append(text.buffer_, text.length_); }
  String& Append(char c) { return Append(&c, 1); }
  String& operator+=(const char* text) { return Append(text); }
  String& operator+=(const String& text) { return Append(text); }
  String& operator+=(char c) { return Append(c); }

  void Insert(i32 position, const char* text, i32 length);
  void Erase(i32 position, i32 count);

  // Copies; positions and counts are clamped to the text.
  String Left(i32 count) const;
  String Mid(i32 position, i32 count = kMaxStringLength) const;
  String Right(i32 count) const;

  bool Equals(const char* text) const;
  bool EqualsNoCase(const char* text) const;
  bool StartsWithNoCase(const char* text) const;
  bool EndsWithNoCase(const char* text) const;
  bool operator==(const String& other) const { return Equals(other.CStr()); }
  bool operator==(const char* text) const { return Equals(text); }

  void ToLower();  // ASCII letters only
  void ToUpper();

  // --- Search and replace ---
  // First match of the pattern at or after start, or -1. patternLength limits
  // how much of the pattern is compared (kWholePattern: all of it).
  i32 Find(const char* pattern, i32 start = 0, u32 options = 0,
           i32 patternLength = kWholePattern) const;
  // The last occurrence of c at or before from, or -1. Honours kFindNoCase and
  // kFindSkipQuoted.
  i32 FindBackward(char c, i32 from, u32 options = 0) const;
  // Replaces matches of search by replacement (null: empty). Returns the count
  // of replacements, or with kReplaceFirst the position replaced (-1: none).
  i32 Replace(const char* search, const char* replacement, u32 options = 0, i32 start = 0);

  // --- Trimming and taking apart ---
  void TrimLeft(const char* set = kBlanks);
  void TrimRight(const char* set = kBlanks);
  void Trim(const char* set = kBlanks) {
    TrimRight(set);
    TrimLeft(set);
  }
  // Removes every c from [position, position + count).
  void RemoveAll(char c, i32 position = 0, i32 count = kMaxStringLength);
  // Requires a double quote at position; returns the quoted text (a doubled
  // quote stands for one) and removes the run with its quotes. Otherwise
  // returns empty and leaves the string alone.
  String TakeQuoted(i32 position);
  // Removes the first line (ended by NUL, LF or CR; LF CR and CR LF count as
  // one break) and returns it without or with its break characters.
  String TakeLine();
  String TakeLineWithBreak();
  // First digit, '+', '-' or '.', commas dropped from there, decimal integer.
  i64 ToNumber() const;

  // --- Formatting (printf style, one call produces at most 32,767 characters;
  // longer output is cut) ---
  String& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  String& AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
  String& FormatV(const char* format, std::va_list args);
  String& AppendFormatV(const char* format, std::va_list args);

 private:
  char* buffer_ = nullptr;
  i32 length_ = 0;
  i32 capacity_ = 0;
};

String operator+(const String& a, const String& b);
String operator+(const String& a, const char* b);

// A String made by Format.
String Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kova::core
