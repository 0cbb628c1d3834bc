// Path operations; see paths.h.
#include "core/paths.h"

#include <cstring>

namespace kova::core {
namespace {

// The separator of DirectoryOf and FileNameOf: the last backslash, else the
// first colon, else -1.
i32 SeparatorOf(const char* path) {
  const char* backslash = std::strrchr(path, '\\');
  if (backslash) return static_cast<i32>(backslash - path);
  const char* colon = std::strchr(path, ':');
  return colon ? static_cast<i32>(colon - path) : -1;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

core::String JoinPath(const char* dir, const char* name) {
  if (!dir || !*dir) return core::String(name);
  if (!name || !*name) return core::String(dir);
  core::String result(dir);
  char last = result[result.Length() - 1];
  if (name[0] == '\\') {
    if (last == '\\') result.SetLength(result.Length() - 1);
  } else if (last != ':' && last != '\\') {
    result += '\\';
  }
  result += name;
  return result;
}

core::String DirectoryOf(const char* path) {
  if (!path) return core::String();
  i32 p = SeparatorOf(path);
  if (p < 0) return core::String();
  if (path[p] == ':' || (p > 0 && path[p - 1] == ':')) return core::String(path, p + 1);
  return core::String(path, p);
}

core::String FileNameOf(const char* path) {
  if (!path) return core::String();
  i32 p = SeparatorOf(path);
  return core::String(path + p + 1);
}

char DriveLetterOf(const char* path) {
  if (!path) return '\0';
  char c = path[0];
  bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (!letter || path[1] != ':') return '\0';
  return c >= 'a' ? static_cast<char>(c - 32) : c;
}

bool MakeAbsolutePath(core::String& path, const char* base) {
  path.Trim();
  if (path.IsEmpty() || !base) return false;
  while (core::IsBlank(*base)) ++base;
  bool networkBase = base[0] == '\\' && base[1] == '\\';
  bool driveBase = base[0] && base[1] == ':' && base[2] == '\\';
  if (!networkBase && !driveBase) return false;
  if (path[0] == '\\' && path[1] == '\\') return false;
  std::size_t baseLength = std::strlen(base);
  bool baseEndsWithBackslash = base[baseLength - 1] == '\\';
  if (path[0] == '\\') {
    if (!IsAsciiLetter(base[0]) || base[1] != ':') return false;
    path.Insert(0, base, 2);
  } else if (path[1] != ':') {
    if (!baseEndsWithBackslash) path.Insert(0, "\\", 1);
    path.Insert(0, base, static_cast<i32>(baseLength));
  } else {
    if (path[2] == '\\') return false;
    // The folders of base go between the drive of path and its rest. A
    // network base has no such folders to lend ("\\server\share" would
    // leave "D:server\share\..."), so it is refused like a drive-less base
    // is for a rooted path above.
    if (networkBase) return false;
    core::String folders(base + 2);
    if (!baseEndsWithBackslash) folders += '\\';
    path.Insert(2, folders.CStr(), folders.Length());
  }
  return true;
}

}  // namespace kova::core
