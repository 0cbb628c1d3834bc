// Directories on Win32: the ANSI directory and find API itself.
#include "platform/directory.h"

#include "platform/win32/windows.h"

namespace kova::platform {
namespace {

void EntryOf(const WIN32_FIND_DATAA& data, FindEntry* entry) {
  entry->name = data.cFileName;
  entry->attributes = data.dwFileAttributes;
  entry->size = (static_cast<i64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

bool MakeDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

bool RemoveEmptyDirectory(const char* path) { return RemoveDirectoryA(path) != 0; }

bool SetCurrentDirectoryPath(const char* path) { return SetCurrentDirectoryA(path) != 0; }

u32 CurrentDirectoryInto(u32 size, char* buffer) { return GetCurrentDirectoryA(size, buffer); }

FindHandle FindFirst(const char* specification, FindEntry* entry) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(specification, &data);
  // FindFirstFileA fails with INVALID_HANDLE_VALUE, not null.
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  EntryOf(data, entry);
  return find;
}

bool FindNext(FindHandle find, FindEntry* entry) {
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(static_cast<HANDLE>(find), &data)) return false;
  EntryOf(data, entry);
  return true;
}

void CloseFind(FindHandle find) {
  if (find) FindClose(static_cast<HANDLE>(find));
}

}  // namespace kova::platform
