// Folders by path; see directories.h.
#include "install/directories.h"

#include "core/array.h"
#include "core/memory.h"
#include "core/paths.h"
#include "install/file_operations.h"
#include "payload/system_paths.h"
#include "platform/directory.h"
#include "platform/file_system.h"

namespace kova::install {
namespace {

constexpr u32 kFirstCurrentDirectoryBuffer = 99;

}  // namespace

core::String CurrentDirectory() {
  char first[kFirstCurrentDirectoryBuffer + 1] = {};
  u32 length = platform::CurrentDirectoryInto(kFirstCurrentDirectoryBuffer, first);
  if (length < kFirstCurrentDirectoryBuffer) return core::String(first, static_cast<i32>(length));
  // The call asked for more (the length it needs, NUL included).
  u32 size = length + 1;
  char* buffer = static_cast<char*>(core::Allocate(size));
  length = platform::CurrentDirectoryInto(size, buffer);
  core::String current = length < size ? core::String(buffer, static_cast<i32>(length)) : core::String();
  core::Release(buffer);
  return current;
}

bool DirectoryExists(const char* path) {
  if (!path || !*path) return false;
  core::String saved = CurrentDirectory();
  if (!platform::SetCurrentDirectoryPath(path)) return false;
  platform::SetCurrentDirectoryPath(saved.CStr());
  return true;
}

bool CreateDirectoryPath(const char* path) {
  if (!path || !*path) return false;
  // The folders to make, deepest first, found by walking up to one that
  // exists (or is taken to). A loop rather than recursion: a path of many
  // short names must not exhaust the stack.
  core::Array<core::String> missing;
  core::String current(path);
  for (;;) {
    if (DirectoryExists(current.CStr())) break;
    core::String parent = core::DirectoryOf(current.CStr());
    if (parent == current) break;  // "C:" and "C:\" stand for themselves
    missing.Append(current);
    if (parent.Length() < 4) break;
    current = parent;
  }
  for (i32 i = missing.Size() - 1; i >= 0; --i) {
    platform::MakeDirectory(missing[i].CStr());
    if (!DirectoryExists(missing[i].CStr())) return false;
  }
  return true;
}

bool RemoveDirectory(const char* path) {
  if (!path) return false;
  core::String folder(path);
  if (folder.Length() <= 3) return false;
  if (folder[folder.Length() - 1] == '\\') folder.SetLength(folder.Length() - 1);
  return platform::RemoveEmptyDirectory(folder.CStr());
}

bool DeleteTree(const char* path) {
  if (!path) return false;
  core::String folder(path);
  // Without a known Windows directory every path is refused: the one folder
  // that must never go cannot be told apart.
  const core::String& windowsDir = payload::GetSystemPaths().windowsDir;
  if (folder.Length() <= 3 || windowsDir.IsEmpty() || folder.StartsWithNoCase(windowsDir.CStr())) return false;

  bool ok = true;
  {
    core::String specification = core::JoinPath(folder.CStr(), "*.*");
    platform::FindEntry entry;
    platform::ScopedFind find(platform::FindFirst(specification.CStr(), &entry));
    if (!find) return false;
    do {
      if (entry.name.Equals(".") || entry.name.Equals("..")) continue;
      core::String child = core::JoinPath(folder.CStr(), entry.name.CStr());
      bool removed = (entry.attributes & platform::kAttributeDirectory) ? DeleteTree(child.CStr())
                                                                        : DeleteFile(child.CStr());
      ok = ok && removed;
    } while (platform::FindNext(find.Get(), &entry));
  }  // the enumeration is closed before its folder goes
  return RemoveDirectory(folder.CStr()) && ok;
}

}  // namespace kova::install
