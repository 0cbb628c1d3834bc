// Path texts; see path_text.h.
#include "install/path_text.h"

#include <cstring>

#include "core/paths.h"

namespace kova::install {
namespace {

// The separator of core::DirectoryOf: the last backslash, else the first colon.
i32 SeparatorOf(const core::String& path) {
  i32 backslash = path.FindBackward('\\', path.Length() - 1);
  if (backslash >= 0) return backslash;
  return path.Find(":");
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

core::String WithoutTrailingBackslash(const char* path) {
  core::String text(path);
  if (text.Length() > 0 && text[text.Length() - 1] == '\\') text.SetLength(text.Length() - 1);
  return text;
}

}  // namespace

bool StripFileName(core::String& path) {
  i32 separator = SeparatorOf(path);
  if (separator < 0) return false;
  path.SetLength(separator + 1);
  return true;
}

void StripDirectory(core::String& path) {
  i32 separator = SeparatorOf(path);
  if (separator >= 0) path.Erase(0, separator + 1);
}

bool StripExtension(core::String& path) {
  i32 dot = path.FindBackward('.', path.Length() - 1);
  i32 backslash = path.FindBackward('\\', path.Length() - 1);
  if (dot < 0 || dot < backslash) return false;
  path.SetLength(dot);
  return true;
}

bool IsValidPath(u32 flags, const char* path) {
  if (!path || !*path) return false;
  core::String text(path);
  if (text.Length() >= 2 && text[0] == '"' && text[text.Length() - 1] == '"') text = text.Mid(1, text.Length() - 2);
  if (text[1] == ':') {
    if (!IsAsciiLetter(text[0])) return false;
    text.Erase(1, 1);
  }
  const char* forbidden = "/\"<>|:;";
  for (i32 i = 0; i < text.Length(); ++i) {
    char c = text[i];
    if (std::strchr(forbidden, c)) return false;
    if (c == '?' && !(flags & kValidAllowWildcards)) return false;
    if (c == '*' && !(flags & (kValidAllowStar | kValidAllowWildcards))) return false;
  }
  return true;
}

bool PathsEqual(const char* a, const char* b) {
  return WithoutTrailingBackslash(a ? a : "").EqualsNoCase(WithoutTrailingBackslash(b ? b : "").CStr());
}

}  // namespace kova::install
