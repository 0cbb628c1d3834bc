// Searching and replacing inside a String. Install-variable expansion, the
// batch and PATH editing and the registry texts all go through Find and
// Replace, so their option bits behave the same everywhere: case folding of
// ASCII letters only, whole-word neighbours, '?' wildcards, and skipping of
// double-quoted runs.
#include <cstdint>
#include <cstring>

#include "core/array.h"
#include "core/failure.h"
#include "core/string.h"

namespace kova::core {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Length of the pattern, stopping at its NUL, at limit, or just past bound
// (a pattern longer than the text cannot match, so counting further is waste).
// A pattern length larger than the text of the pattern never reads past it.
i32 BoundedLength(const char* text, i32 limit, i32 bound) {
  i32 n = 0;
  while (n < limit && n <= bound && text[n]) ++n;
  return n;
}

bool MatchesAt(const char* text, const char* pattern, i32 n, bool noCase, bool wildcard) {
  for (i32 i = 0; i < n; ++i) {
    char p = pattern[i];
    if (wildcard && p == '?') continue;
    char t = text[i];
    if (noCase) {
      p = Lower(p);
      t = Lower(t);
    }
    if (p != t) return false;
  }
  return true;
}

// True when p points into the buffer of text, whose contents Replace rewrites.
bool PointsInto(const String& text, const char* p) {
  const char* base = text.Data();
  if (!base || !p) return false;
  auto at = reinterpret_cast<std::uintptr_t>(p);
  auto begin = reinterpret_cast<std::uintptr_t>(base);
  return at >= begin && at < begin + static_cast<std::uintptr_t>(text.Capacity());
}

i32 CheckedLength(const char* text) {
  std::size_t n = std::strlen(text);
  if (n > static_cast<std::size_t>(kMaxStringLength)) RaiseInternalError("Core", __LINE__);
  return static_cast<i32>(n);
}

// The replacement text of one match. With wildcard replacement the k-th '?'
// of the replacement takes the character that the k-th '?' of the search text
// matched, so the text differs from match to match; it is built in a scratch
// buffer first because the destination may overlap the matched characters.
class Replacement {
 public:
  Replacement(const char* search, const char* text, i32 length, bool wildcard)
      : text_(text), length_(length) {
    if (!wildcard) return;
    i32 s = 0;
    for (i32 r = 0; r < length; ++r) {
      if (text[r] != '?') continue;
      while (search[s] && search[s] != '?') ++s;
      if (!search[s]) break;  // no counterpart: the '?' stays
      searchMarks_.Append(s++);
      replaceMarks_.Append(r);
    }
    if (!replaceMarks_.IsEmpty()) scratch_ = String(text, length);
  }

  i32 Length() const { return length_; }

  // Writes the replacement of the match whose characters start at matched.
  void WriteTo(char* destination, const char* matched) {
    if (replaceMarks_.IsEmpty()) {
      std::memmove(destination, text_, static_cast<std::size_t>(length_));
      return;
    }
    char* piece = scratch_.Data();
    for (i32 k = 0; k < replaceMarks_.Size(); ++k) piece[replaceMarks_[k]] = matched[searchMarks_[k]];
    std::memmove(destination, piece, static_cast<std::size_t>(length_));
  }

 private:
  const char* text_;
  i32 length_;
  Array<i32> searchMarks_;
  Array<i32> replaceMarks_;
  String scratch_;
};

// Replaces the matches at the ascending positions (offsets in the text as it
// is now, each searchLength long) with one resize and one pass of moves.
void Splice(String& text, const Array<i32>& positions, i32 searchLength, Replacement& replacement) {
  const i32 count = positions.Size();
  const i32 oldLength = text.Length();
  const i32 delta = replacement.Length() - searchLength;
  const i64 newLength = oldLength + static_cast<i64>(count) * delta;
  if (newLength > kMaxStringLength) RaiseInternalError("Core", __LINE__);

  if (delta > 0) {
    // Growing: resize first, then move from the back so nothing is
    // overwritten before it has moved. The matched characters of match k are
    // still in place when its replacement is written.
    text.SetLength(static_cast<i32>(newLength));
    char* b = text.Data();
    i32 segmentEnd = oldLength;
    for (i32 k = count - 1; k >= 0; --k) {
      const i32 segmentStart = positions[k] + searchLength;
      std::memmove(b + segmentStart + (k + 1) * delta, b + segmentStart,
                   static_cast<std::size_t>(segmentEnd - segmentStart));
      replacement.WriteTo(b + positions[k] + k * delta, b + positions[k]);
      segmentEnd = positions[k];
    }
    return;
  }

  // Shrinking: move from the front, then resize (a shrinking resize may
  // reallocate and keep only the new length).
  char* b = text.Data();
  for (i32 k = 0; k < count; ++k) {
    replacement.WriteTo(b + positions[k] + k * delta, b + positions[k]);
    const i32 segmentStart = positions[k] + searchLength;
    const i32 segmentEnd = k + 1 < count ? positions[k + 1] : oldLength;
    std::memmove(b + segmentStart + (k + 1) * delta, b + segmentStart,
                 static_cast<std::size_t>(segmentEnd - segmentStart));
  }
  text.SetLength(static_cast<i32>(newLength));
}

}  // namespace

i32 String::Find(const char* pattern, i32 start, u32 options, i32 patternLength) const {
  if (!pattern || patternLength < 1) return -1;
  const i32 n = BoundedLength(pattern, patternLength, length_);
  if (n < 1 || n > length_) return -1;
  if (start < 0) start = 0;

  const bool noCase = (options & kFindNoCase) != 0;
  const bool wholeWord = (options & kFindWholeWord) != 0;
  const bool wildcard = (options & kFindWildcard) != 0;
  const bool skipQuoted = (options & kFindSkipQuoted) != 0;
  // Without case folding or quote tracking the scan can jump straight to the
  // next occurrence of the pattern's first character.
  const bool jumpToFirst = !noCase && !skipQuoted && !(wildcard && pattern[0] == '?');
  const i32 last = length_ - n;

  for (i32 i = start; i <= last; ++i) {
    if (jumpToFirst) {
      const void* hit = std::memchr(buffer_ + i, pattern[0], static_cast<std::size_t>(last - i + 1));
      if (!hit) return -1;
      i = static_cast<i32>(static_cast<const char*>(hit) - buffer_);
    } else if (skipQuoted && buffer_[i] == '"') {
      // Jump to the closing quote; the loop steps past it. An unclosed run
      // reaches to the end of the text, so nothing after it can match.
      const void* close = std::memchr(buffer_ + i + 1, '"', static_cast<std::size_t>(length_ - i - 1));
      if (!close) return -1;
      i = static_cast<i32>(static_cast<const char*>(close) - buffer_);
      continue;
    }
    if (!MatchesAt(buffer_ + i, pattern, n, noCase, wildcard)) continue;
    if (wholeWord) {
      if (i > 0 && IsWordChar(buffer_[i - 1])) continue;
      if (i + n < length_ && IsWordChar(buffer_[i + n])) continue;
    }
    return (options & kFindReturnEnd) ? i + n : i;
  }
  return -1;
}

i32 String::FindBackward(char c, i32 from, u32 options) const {
  if (from >= length_) from = length_ - 1;
  const bool noCase = (options & kFindNoCase) != 0;
  const bool skipQuoted = (options & kFindSkipQuoted) != 0;
  const char wanted = noCase ? Lower(c) : c;
  bool quoted = false;
  for (i32 i = from; i >= 0; --i) {
    char here = buffer_[i];
    if (skipQuoted && here == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if ((noCase ? Lower(here) : here) == wanted) return i;
  }
  return -1;
}

i32 String::Replace(const char* search, const char* replacement, u32 options, i32 start) {
  const bool firstOnly = (options & kReplaceFirst) != 0;
  const i32 none = firstOnly ? -1 : 0;
  if (!search || !*search) return none;
  if (!replacement) replacement = "";

  // Either text may live in this very buffer, which the replacement rewrites.
  String searchCopy;
  String replacementCopy;
  if (PointsInto(*this, search)) {
    searchCopy = String(search);
    search = searchCopy.CStr();
  }
  if (PointsInto(*this, replacement)) {
    replacementCopy = String(replacement);
    replacement = replacementCopy.CStr();
  }

  const u32 findOptions = options & ~kFindReturnEnd;
  const i32 searchLength = BoundedLength(search, kWholePattern, length_);
  if (searchLength > length_) return none;
  Replacement piece(search, replacement, CheckedLength(replacement), (options & kFindWildcard) != 0);

  if (piece.Length() == searchLength) {
    i32 count = 0;
    for (i32 at = Find(search, start, findOptions); at >= 0; at = Find(search, at + searchLength, findOptions)) {
      piece.WriteTo(buffer_ + at, buffer_ + at);
      if (firstOnly) return at;
      ++count;
    }
    return firstOnly ? -1 : count;
  }

  Array<i32> positions;
  for (i32 at = Find(search, start, findOptions); at >= 0; at = Find(search, at + searchLength, findOptions)) {
    positions.Append(at);
    if (firstOnly) break;
  }
  if (positions.IsEmpty()) return none;
  Splice(*this, positions, searchLength, piece);
  return firstOnly ? positions[0] : positions.Size();
}

}  // namespace kova::core
