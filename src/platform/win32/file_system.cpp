// Files on Win32: the ANSI file API itself, as old as Windows 95, so the stub
// loads there: SetFilePointer and GetFileSize with their high words rather
// than the ...Ex forms, and MoveFileExA looked up at run time.
#include "platform/file_system.h"

#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"

namespace kova::platform {
namespace {

HANDLE HandleOf(FileHandle file) { return static_cast<HANDLE>(file); }

using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);

MoveFileExFunction LookUpMoveFileEx() {
  static bool looked = false;
  static MoveFileExFunction function = nullptr;
  if (!looked) {
    looked = true;
    function = reinterpret_cast<MoveFileExFunction>(
        reinterpret_cast<void*>(win32::SystemProcedure("kernel32.dll", "MoveFileExA")));
  }
  return function;
}


}  // namespace

FileHandle OpenFileHandle(const char* path, u32 access, u32 share, u32 creation, u32 attributes) {
  HANDLE file = CreateFileA(path, access, share, nullptr, creation, attributes, nullptr);
  // CreateFileA fails with INVALID_HANDLE_VALUE, not null; null stays "none".
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

void CloseFileHandle(FileHandle file) {
  if (file) CloseHandle(HandleOf(file));
}

bool ReadFileData(FileHandle file, void* buffer, u32 size, u32* done) {
  DWORD moved = 0;
  BOOL ok = ReadFile(HandleOf(file), buffer, size, &moved, nullptr);
  *done = moved;
  return ok != 0;
}

bool WriteFileData(FileHandle file, const void* data, u32 size, u32* done) {
  DWORD moved = 0;
  BOOL ok = WriteFile(HandleOf(file), data, size, &moved, nullptr);
  *done = moved;
  return ok != 0;
}

bool MoveFilePointer(FileHandle file, i64 distance, u32 origin, i64* position) {
  LONG high = static_cast<LONG>(distance >> 32);
  // 0xFFFFFFFF is also a valid low word of a position; only GetLastError
  // tells a failure from it, so it must be cleared first.
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(HandleOf(file), static_cast<LONG>(distance & 0xFFFFFFFF), &high, origin);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  if (position) *position = (static_cast<i64>(high) << 32) | low;
  return true;
}

bool FileLength(FileHandle file, i64* length) {
  DWORD high = 0;
  SetLastError(NO_ERROR);  // as for SetFilePointer: 0xFFFFFFFF is a valid low word
  DWORD low = GetFileSize(HandleOf(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  *length = (static_cast<i64>(high) << 32) | low;
  return true;
}

bool SetFileEnd(FileHandle file) { return SetEndOfFile(HandleOf(file)) != 0; }

bool FlushFileData(FileHandle file) { return FlushFileBuffers(HandleOf(file)) != 0; }

// The stub reads its own archive from its loaded image (ProgramImageBytes),
// which the system has mapped already; a file it is not running is rare
// (a command line naming another installer) and is read instead, which
// keeps the mapping calls out of the stub.
bool MapFileRange(FileHandle, i64, i64, FileView* view) {
  *view = FileView();
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

void UnmapFileRange(FileView*) {}

bool GetLastWriteTime(FileHandle file, core::DateTime* local) {
  FILETIME written, localTime;
  SYSTEMTIME fields;
  if (!GetFileTime(HandleOf(file), nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &localTime) ||
      !FileTimeToSystemTime(&localTime, &fields))
    return false;
  *local = core::MakeDateTime(fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond);
  return true;
}

bool SetLastWriteTime(FileHandle file, const core::DateTime& local) {
  // Data still in the cache would update the last-write time when it reaches
  // the disk, after the time set here.
  FlushFileBuffers(HandleOf(file));
  if (!core::IsFileTimeRange(local)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  SYSTEMTIME fields{};
  fields.wYear = static_cast<WORD>(local.year);
  fields.wMonth = static_cast<WORD>(local.month);
  fields.wDay = static_cast<WORD>(local.day);
  fields.wHour = static_cast<WORD>(local.hour);
  fields.wMinute = static_cast<WORD>(local.minute);
  fields.wSecond = static_cast<WORD>(local.second);
  FILETIME localTime, written;
  SetLastError(NO_ERROR);
  if (!SystemTimeToFileTime(&fields, &localTime) || !LocalFileTimeToFileTime(&localTime, &written)) {
    // Some versions fail without setting an error; the date was not valid.
    if (GetLastError() == NO_ERROR) SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return SetFileTime(HandleOf(file), nullptr, nullptr, &written) != 0;
}

u32 FileAttributesOf(const char* path) { return GetFileAttributesA(path); }

bool SetFileAttributesOf(const char* path, u32 attributes) { return SetFileAttributesA(path, attributes) != 0; }

bool RemoveFile(const char* path) { return DeleteFileA(path) != 0; }

bool MoveFilePath(const char* from, const char* to, u32 flags) {
  if (flags == 0) return MoveFileA(from, to) != 0;
  MoveFileExFunction moveEx = LookUpMoveFileEx();
  if (!moveEx) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  return moveEx(from, to, flags) != 0;
}

bool CanMoveWithFlags() { return LookUpMoveFileEx() != nullptr; }

}  // namespace kova::platform
