// Windows paths inside the sandbox; see sandbox_paths.h.
#include "platform/posix/sandbox_paths.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/posix/errors.h"
#include "platform/posix/folder_cache.h"
#include "platform/posix/sandbox.h"
#include "platform/process.h"

namespace kova::platform::posix {
namespace {

constexpr i32 kMaxName = 255;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

core::String HostJoin(const core::String& folder, const char* name) {
  core::String joined(folder);
  if (joined.IsEmpty() || joined[joined.Length() - 1] != '/') joined += '/';
  joined += name;
  return joined;
}

// Splits a Windows path text at backslashes onto names, applying "." and "..".
// The last piece of the text loses trailing dots and spaces first.
SystemError AddNames(const char* text, core::Array<core::String>& names, u32 options) {
  core::Array<core::String> pieces;
  for (const char* p = text; *p;) {
    while (*p == '\\') ++p;
    const char* end = p;
    while (*end && *end != '\\') ++end;
    if (end > p) pieces.Append(core::String(p, static_cast<i32>(end - p)));
    p = end;
  }
  for (i32 i = 0; i < pieces.Size(); ++i) {
    core::String& piece = pieces[i];
    bool last = i + 1 == pieces.Size();
    if (last && !piece.Equals(".") && !piece.Equals("..")) {
      i32 length = piece.Length();
      while (length > 0 && (piece[length - 1] == '.' || piece[length - 1] == ' ')) --length;
      piece.SetLength(length);
      if (length == 0) continue;
    }
    if (piece.Equals(".")) continue;
    if (piece.Equals("..")) {
      if (!names.IsEmpty()) names.RemoveLast();
      continue;
    }
    if (piece.Length() > kMaxName) return kErrorFilenameTooLong;
    for (i32 k = 0; k < piece.Length(); ++k) {
      auto c = static_cast<unsigned char>(piece[k]);
      bool wildcard = c == '*' || c == '?';
      if (c < 32 || std::strchr("<>:\"|", c) || (wildcard && !(last && (options & kResolveWildcards))))
        return kErrorInvalidName;
    }
    names.Append(piece);
  }
  return kErrorSuccess;
}

bool HasWildcards(const core::String& name) { return name.Find("*") >= 0 || name.Find("?") >= 0; }

// The entry of hostFolder that the Windows name stands for: the exact
// spelling first (one lstat), then the folder's listing, which is read once
// and remembered (folder_cache.h). info gets the entry's stat, links
// followed; a link that leads nowhere still exists, as a file.
bool LookUpName(const core::String& hostFolder, const struct stat& folderInfo, const core::String& name,
                core::String* stored, struct stat* info) {
  if (KnownMissing(hostFolder, folderInfo, name)) return false;
  core::String child = HostJoin(hostFolder, name.CStr());
  if (lstat(child.CStr(), info) == 0) {
    *stored = name;
  } else {
    if (!FindInFolder(hostFolder, folderInfo, name, stored)) return false;
    child = HostJoin(hostFolder, stored->CStr());
    if (lstat(child.CStr(), info) != 0) return false;  // gone since it was listed
  }
  if (S_ISLNK(info->st_mode)) {
    struct stat target{};
    if (stat(child.CStr(), &target) == 0) *info = target;
  }
  return true;
}

// Creates a Windows folder and its parents, quietly; for the sandbox's own tree.
void MakeWindowsFolders(const char* windowsPath) {
  SandboxPath resolved;
  if (!ResolvePath(windowsPath, &resolved)) return;
  core::String prefix;
  prefix += resolved.drive;
  prefix += ":";
  for (const core::String& name : resolved.names) {
    prefix += '\\';
    prefix += name;
    SandboxPath step;
    if (ResolvePath(prefix.CStr(), &step) && !step.exists) mkdir(step.host.CStr(), 0777);
  }
}

core::String& PreparedKey() {
  static core::String key;
  return key;
}

core::String& CurrentDirectoryText() {
  static core::String current;
  return current;
}

}  // namespace

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  return *a == *b;
}

core::String DriveHostRoot(char drive) {
  drive = UpperAscii(drive);
  if (drive == 'Z') return core::String("/");
  core::String host(SandboxRoot());
  host += "/drive_";
  host += LowerAscii(drive);
  return host;
}

core::String WindowsPathOfHost(const char* hostPath) {
  core::String host(hostPath ? hostPath : "/");
  core::String drives(SandboxRoot());
  drives += "/drive_";
  core::String windows;
  const char* rest = host.CStr();
  if (host.Length() > drives.Length() && std::strncmp(host.CStr(), drives.CStr(), drives.Length()) == 0 &&
      IsAsciiLetter(host[drives.Length()]) && UpperAscii(host[drives.Length()]) != 'Z' &&
      (host[drives.Length() + 1] == '/' || host[drives.Length() + 1] == '\0')) {
    windows += UpperAscii(host[drives.Length()]);
    rest += drives.Length() + 1;
  } else {
    windows += 'Z';
  }
  windows += ":\\";
  while (*rest == '/') ++rest;
  for (; *rest; ++rest) windows += *rest == '/' ? '\\' : *rest;
  while (windows.Length() > 3 && windows[windows.Length() - 1] == '\\') windows.SetLength(windows.Length() - 1);
  return windows;
}

core::String CurrentWindowsDirectory() {
  core::String& current = CurrentDirectoryText();
  if (current.IsEmpty()) {
    char cwd[PATH_MAX];
    current = WindowsPathOfHost(getcwd(cwd, sizeof cwd) ? cwd : "/");
  }
  return current;
}

void SetCurrentWindowsDirectory(const core::String& windowsPath) { CurrentDirectoryText() = windowsPath; }

void PrepareSandbox() {
  core::String key(SandboxRoot());
  core::String windowsDir = WindowsDirectory();
  key += '|';
  key += windowsDir;
  if (PreparedKey() == key) return;
  PreparedKey() = key;
  ForgetFolders();

  // The root and its parents, then drive C.
  const core::String& root = SandboxRoot();
  for (i32 i = 1; i <= root.Length(); ++i)
    if (i == root.Length() || root[i] == '/') mkdir(root.Left(i).CStr(), 0777);
  mkdir(DriveHostRoot('C').CStr(), 0777);
  char drive = windowsDir[1] == ':' && IsAsciiLetter(windowsDir[0]) ? UpperAscii(windowsDir[0]) : '\0';
  if (!drive) return;
  if (drive != 'Z') mkdir(DriveHostRoot(drive).CStr(), 0777);
  static const char* const kFolders[] = {"", "SYSTEM", "SYSTEM32", "Fonts"};
  for (const char* folder : kFolders) {
    core::String path(windowsDir);
    if (*folder) {
      path += '\\';
      path += folder;
    }
    MakeWindowsFolders(path.CStr());
  }
  MakeWindowsFolders(TempFolder().CStr());
}

core::String TempFolder() {
  core::String windowsDir = WindowsDirectory();
  core::String folder;
  folder += windowsDir[1] == ':' && IsAsciiLetter(windowsDir[0]) ? UpperAscii(windowsDir[0]) : 'C';
  folder += ":\\TEMP";
  return folder;
}

namespace {

constexpr std::size_t kMaxAnsiPath = 260;  // MAX_PATH

}  // namespace

bool ResolvePath(const char* path, SandboxPath* out, u32 options) {
  *out = SandboxPath();
  if (!path || !*path) return Fail(kErrorPathNotFound);
  // The ANSI calls take a path of at most MAX_PATH - 1 characters: a longer
  // one is refused before it is looked at (ERROR_FILENAME_EXCED_RANGE).
  if (std::strlen(path) >= kMaxAnsiPath) return Fail(kErrorFilenameTooLong);
  PrepareSandbox();

  core::String text(path);
  for (i32 i = 0; i < text.Length(); ++i)
    if (text[i] == '/') text.SetAt(i, '\\');
  if (text[0] == '\\' && text[1] == '\\') return Fail(kErrorBadNetPath);

  core::String current = CurrentWindowsDirectory();
  const char* rest = text.CStr();
  bool fromCurrent = false;
  if (text[1] == ':') {
    if (!IsAsciiLetter(text[0])) return Fail(kErrorInvalidName);
    out->drive = UpperAscii(text[0]);
    rest += 2;
    // "C:name" continues from the current directory when that is on the same
    // drive (the process keeps one current directory, not one per drive).
    fromCurrent = *rest != '\\' && UpperAscii(current[0]) == out->drive;
  } else {
    out->drive = UpperAscii(current[0]);
    fromCurrent = *rest != '\\';
  }
  if (fromCurrent) {
    SystemError error = AddNames(current.CStr() + 2, out->names, 0);
    if (error != kErrorSuccess) return Fail(error);
  }
  SystemError error = AddNames(rest, out->names, options);
  if (error != kErrorSuccess) return Fail(error);

  out->windows += out->drive;
  out->windows += ":\\";
  for (i32 i = 0; i < out->names.Size(); ++i) {
    if (i > 0) out->windows += '\\';
    out->windows += out->names[i];
  }

  const i32 count = out->names.Size();
  core::String host;
  struct stat folderInfo{};
  // A folder resolved before, asked for itself (the current directory, the
  // folder checked before each file written to it): one stat.
  if (count > 0 && !(options & kResolveWildcards) && CachedFolder(out->windows, &host, &folderInfo)) {
    const char* slash = std::strrchr(host.CStr(), '/');
    i32 parentLength = static_cast<i32>(slash - host.CStr());
    out->hostParent = host.Left(parentLength > 0 ? parentLength : 1);  // drive Z: is the host's "/"
    out->name = host.Mid(parentLength + 1);
    out->host = host;
    out->exists = out->isDirectory = true;
    out->readOnly = !(folderInfo.st_mode & S_IWUSR);
    return true;
  }
  // The folder that holds the last name, when it was resolved before: one
  // stat instead of a walk from the drive root.
  i32 first = 0;
  core::String parentWindows;
  if (count > 1) {
    parentWindows = out->windows.Left(out->windows.Length() - out->names[count - 1].Length() - 1);
    if (CachedFolder(parentWindows, &host, &folderInfo)) first = count - 1;
  }
  if (first == 0) {
    host = DriveHostRoot(out->drive);
    if (stat(host.CStr(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) return Fail(kErrorPathNotFound);
  }
  if (count == 0) {
    out->host = host;
    out->hostParent = host;
    out->exists = out->isDirectory = out->isRoot = true;
    return true;
  }
  for (i32 i = first; i < count; ++i) {
    const core::String& name = out->names[i];
    bool last = i + 1 == count;
    core::String stored;
    struct stat info{};
    bool found = !HasWildcards(name) && LookUpName(host, folderInfo, name, &stored, &info);
    if (!found) {
      if (!last) return Fail(kErrorPathNotFound);
      out->hostParent = host;
      out->host = HostJoin(host, name.CStr());
      out->name = name;
      break;
    }
    core::String child = HostJoin(host, stored.CStr());
    bool isDirectory = S_ISDIR(info.st_mode);
    if (!last) {
      if (!isDirectory) return Fail(kErrorPathNotFound);
      host = child;
      folderInfo = info;
      continue;
    }
    out->hostParent = host;
    out->host = child;
    out->name = stored;
    out->exists = true;
    out->isDirectory = isDirectory;
    out->readOnly = !S_ISLNK(info.st_mode) && !(info.st_mode & S_IWUSR);
    // Asked for again (going back to the current directory), it is one stat.
    if (isDirectory && !(options & kResolveWildcards)) RememberFolder(out->windows, child, info);
  }
  if (count > 1 && first == 0) RememberFolder(parentWindows, out->hostParent, folderInfo);
  return true;
}

bool IsShortName(const char* name) {
  static const char* const kAllowed = "!#$%&'()-@^_`{}~";
  i32 length = static_cast<i32>(std::strlen(name));
  if (length == 0 || length > 12) return false;
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return true;
  const char* dot = std::strchr(name, '.');
  i32 base = dot ? static_cast<i32>(dot - name) : length;
  i32 extension = dot ? length - base - 1 : 0;
  if (base < 1 || base > 8 || extension > 3 || (dot && (extension < 1 || std::strchr(dot + 1, '.'))))
    return false;
  for (const char* p = name; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    bool ok = (c >= '0' && c <= '9') || IsAsciiLetter(static_cast<char>(c)) || c >= 0x80 ||
              (c && std::strchr(kAllowed, c)) || p == dot;
    if (!ok) return false;
  }
  return true;
}

core::String ShortNameOf(const char* name) {
  if (IsShortName(name)) return core::String(name);
  auto clean = [](const char* from, const char* to, i32 limit) {
    static const char* const kAllowed = "!#$%&'()-@^_`{}~";
    core::String part;
    for (const char* p = from; p < to && part.Length() < limit; ++p) {
      auto c = static_cast<unsigned char>(*p);
      if (c == ' ' || c == '.') continue;
      bool ok = (c >= '0' && c <= '9') || IsAsciiLetter(static_cast<char>(c)) || c >= 0x80 ||
                std::strchr(kAllowed, c);
      part += ok ? UpperAscii(static_cast<char>(c)) : '_';
    }
    return part;
  };
  const char* end = name + std::strlen(name);
  const char* dot = std::strrchr(name, '.');
  if (dot == name) dot = nullptr;  // ".profile" has no extension
  core::String alias = clean(name, dot ? dot : end, 4);
  if (alias.IsEmpty()) alias = "_";
  // FNV-1a over the upper-cased name, so aliases do not depend on case.
  u32 hash = 2166136261u;
  for (const char* p = name; *p; ++p) hash = (hash ^ static_cast<u8>(UpperAscii(*p))) * 16777619u;
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  alias += '~';
  for (int i = 0; i < 3; ++i, hash /= 36) alias += kDigits[hash % 36];
  if (dot) {
    core::String extension = clean(dot + 1, end, 3);
    if (!extension.IsEmpty()) {
      alias += '.';
      alias += extension;
    }
  }
  return alias;
}

}  // namespace kova::platform::posix
