// Directories on POSIX, inside the sandbox: creating and removing folders,
// the current directory (kept in Windows form by sandbox_paths), and file
// specifications matched without regard to case, "." and ".." included
// below a drive root, as FindFirstFileA lists them.
#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "core/array.h"
#include "core/memory.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/posix/errors.h"
#include "platform/posix/folder_cache.h"
#include "platform/posix/sandbox_paths.h"

namespace kova::platform {
namespace {

using posix::Fail;
using posix::FailFromErrno;

struct PosixFind {
  core::Array<FindEntry> entries;
  i32 next = 0;
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// * matches any run of characters, ? any one; letters without regard to case.
bool Matches(const char* name, const char* pattern) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern && LowerAscii(*pattern) == LowerAscii(*name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// "*.*" is every name, with or without a dot, as on Windows.
bool MatchesSpecification(const char* name, const char* pattern) {
  if (std::strcmp(pattern, "*.*") == 0) return true;
  return Matches(name, pattern);
}

// A symbolic link is listed as a file whatever it points to, so that
// deleting a tree removes the link and never what lies behind it.
FindEntry EntryOf(const core::String& hostFolder, const char* name) {
  FindEntry entry;
  entry.name = name;
  core::String host(hostFolder);
  if (host[host.Length() - 1] != '/') host += '/';
  host += name;
  entry.attributes = kAttributeArchive;
  struct stat info{};
  if (lstat(host.CStr(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) entry.attributes = kAttributeDirectory;
    if (!(info.st_mode & S_IWUSR)) entry.attributes |= kAttributeReadOnly;
    entry.size = S_ISDIR(info.st_mode) ? 0 : info.st_size;
  }
  return entry;
}

bool LessNoCase(const core::String& a, const core::String& b) {
  for (i32 i = 0;; ++i) {
    char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
    if (x != y) return x < y;
    if (!x) return false;
  }
}

// Fills the enumeration in a fixed order (names without regard to case), so
// a folder lists the same way every time.
void SortEntries(core::Array<FindEntry>& entries) {
  for (i32 i = 1; i < entries.Size(); ++i)
    for (i32 k = i; k > 0 && LessNoCase(entries[k].name, entries[k - 1].name); --k) {
      FindEntry moved = static_cast<FindEntry&&>(entries[k]);
      entries[k] = static_cast<FindEntry&&>(entries[k - 1]);
      entries[k - 1] = static_cast<FindEntry&&>(moved);
    }
}

}  // namespace

bool MakeDirectory(const char* path) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return false;
  if (resolved.exists) return Fail(kErrorAlreadyExists);
  if (mkdir(resolved.host.CStr(), 0777) != 0) return FailFromErrno(errno);
  posix::NoteNameAdded(resolved.hostParent, resolved.name.CStr());
  return true;
}

bool RemoveEmptyDirectory(const char* path) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return false;
  if (!resolved.exists) return Fail(kErrorFileNotFound);
  if (!resolved.isDirectory) return Fail(kErrorDirectory);
  if (resolved.isRoot) return Fail(kErrorAccessDenied);
  // Windows holds the current directory open: it cannot be removed.
  posix::SandboxPath current;
  if (posix::ResolvePath(posix::CurrentWindowsDirectory().CStr(), &current) && current.host == resolved.host)
    return Fail(kErrorSharingViolation);
  if (rmdir(resolved.host.CStr()) != 0) return FailFromErrno(errno == EEXIST ? ENOTEMPTY : errno);
  posix::ForgetFolders();
  return true;
}

bool SetCurrentDirectoryPath(const char* path) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return false;
  if (!resolved.exists) return Fail(kErrorFileNotFound);
  if (!resolved.isDirectory) return Fail(kErrorDirectory);
  posix::SetCurrentWindowsDirectory(resolved.windows);
  return true;
}

u32 CurrentDirectoryInto(u32 size, char* buffer) {
  core::String current = posix::CurrentWindowsDirectory();
  u32 length = static_cast<u32>(current.Length());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, current.CStr(), length + 1);
  return length;
}

FindHandle FindFirst(const char* specification, FindEntry* entry) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(specification, &resolved, posix::kResolveWildcards)) return nullptr;
  // A drive root itself is no entry of any folder.
  if (resolved.isRoot) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  DIR* folder = opendir(resolved.hostParent.CStr());
  if (!folder) {
    FailFromErrno(errno == ENOENT ? ENOTDIR : errno);
    return nullptr;
  }
  // Without wildcards the resolver has already found the stored name (by
  // case or by 8.3 alias); that name is the one to match.
  const char* pattern = resolved.name.CStr();
  auto* find = new (core::Allocate(sizeof(PosixFind))) PosixFind();
  bool atRoot = resolved.names.Size() == 1;
  while (dirent* item = readdir(folder)) {
    bool dots = std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0;
    if (dots && atRoot) continue;
    if (MatchesSpecification(item->d_name, pattern)) find->entries.Append(EntryOf(resolved.hostParent, item->d_name));
  }
  closedir(folder);
  if (find->entries.IsEmpty()) {
    CloseFind(find);
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  SortEntries(find->entries);
  *entry = find->entries[0];
  find->next = 1;
  return find;
}

bool FindNext(FindHandle handle, FindEntry* entry) {
  auto* find = static_cast<PosixFind*>(handle);
  if (!find) return Fail(kErrorInvalidHandle);
  if (find->next >= find->entries.Size()) return Fail(kErrorNoMoreFiles);
  *entry = find->entries[find->next++];
  return true;
}

void CloseFind(FindHandle handle) {
  auto* find = static_cast<PosixFind*>(handle);
  if (!find) return;
  find->~PosixFind();
  core::Release(find);
}

}  // namespace kova::platform
