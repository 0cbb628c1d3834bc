// Files on the operating system: native handles opened with Win32's access,
// share and creation rules, block reads and writes, the file pointer, length
// and end, last-write times in local time, attributes, deleting and moving.
// Every call that fails leaves its Win32 error number (system_error.h).
//
// Sharing follows Windows on both platforms: an open is refused with
// kErrorSharingViolation when an open handle of any process conflicts with the
// access asked for or the sharing offered. A handle opened with neither read
// nor write access takes part in no sharing check (it only asks whether the
// file is there).
#pragma once

#include "core/date_time.h"
#include "core/string.h"

namespace kova::platform {

// The native file handle (a HANDLE on Windows). Null means none: the Win32
// implementation never hands out INVALID_HANDLE_VALUE.
using FileHandle = void*;

// Access, share and creation values, with their Win32 numbers.
inline constexpr u32 kAccessRead = 0x80000000u;   // GENERIC_READ
inline constexpr u32 kAccessWrite = 0x40000000u;  // GENERIC_WRITE
inline constexpr u32 kShareRead = 0x1;
inline constexpr u32 kShareWrite = 0x2;
inline constexpr u32 kCreateNew = 1;
inline constexpr u32 kCreateAlways = 2;
inline constexpr u32 kOpenExisting = 3;
inline constexpr u32 kOpenAlways = 4;

inline constexpr u32 kAttributeReadOnly = 0x1;
inline constexpr u32 kAttributeHidden = 0x2;
inline constexpr u32 kAttributeSystem = 0x4;
inline constexpr u32 kAttributeDirectory = 0x10;
inline constexpr u32 kAttributeArchive = 0x20;
inline constexpr u32 kAttributeNormal = 0x80;
inline constexpr u32 kInvalidAttributes = 0xFFFFFFFFu;

inline constexpr u32 kSeekBegin = 0;
inline constexpr u32 kSeekCurrent = 1;
inline constexpr u32 kSeekEnd = 2;

// CreateFileA(path, access, share, no security, creation, attributes, no
// template). A directory cannot be opened this way (kErrorAccessDenied).
FileHandle OpenFileHandle(const char* path, u32 access, u32 share, u32 creation, u32 attributes);
void CloseFileHandle(FileHandle file);

// ReadFile / WriteFile of one block; *done gets the bytes moved. Reading at
// the end of the file succeeds with fewer bytes (0 at the end).
bool ReadFileData(FileHandle file, void* buffer, u32 size, u32* done);
bool WriteFileData(FileHandle file, const void* data, u32 size, u32* done);
// SetFilePointer with 64-bit distances; position (may be null) gets the new
// position. Moving before the start fails with kErrorNegativeSeek.
bool MoveFilePointer(FileHandle file, i64 distance, u32 origin, i64* position);
bool FileLength(FileHandle file, i64* length);
// SetEndOfFile at the current position (needs write access).
bool SetFileEnd(FileHandle file);
// FlushFileBuffers (needs write access).
bool FlushFileData(FileHandle file);

// The last-write time in local time, converted with the current offset from
// UTC (FileTimeToLocalFileTime, LocalFileTimeToFileTime), whole seconds.
// Setting needs write access and a valid date from 1601 on; creation and
// access times stay as they are.
bool GetLastWriteTime(FileHandle file, core::DateTime* local);
bool SetLastWriteTime(FileHandle file, const core::DateTime& local);

// GetFileAttributesA (kInvalidAttributes on failure) and SetFileAttributesA.
u32 FileAttributesOf(const char* path);
bool SetFileAttributesOf(const char* path, u32 attributes);

// DeleteFileA: fails for read-only files and files open in any process.
bool RemoveFile(const char* path);

// Move flags of MoveFileExA.
inline constexpr u32 kMoveReplaceExisting = 0x1;
inline constexpr u32 kMoveCopyAllowed = 0x2;
inline constexpr u32 kMoveDelayUntilReboot = 0x4;
// Flags 0: MoveFileA. Any flag: MoveFileExA, which old systems lack; then the
// call fails with kErrorCallNotImplemented (see CanMoveWithFlags). With
// kMoveDelayUntilReboot the move is only recorded, to be carried out when
// the system next starts (PendingFileRenameOperations).
bool MoveFilePath(const char* from, const char* to, u32 flags);
// Whether MoveFileExA is there (looked up at run time in kernel32).
bool CanMoveWithFlags();

// A read-only view of part of an open file (mmap on POSIX): the bytes are
// used where the system's cache holds them, with no copy. The view stays
// valid after the handle is closed, until UnmapFileRange. On Win32 nothing
// is mapped (the call fails): the stub's own archive comes from its
// loaded image (ProgramImageBytes), and any other file is read.
struct FileView {
  const u8* data = nullptr;  // the first byte asked for
  void* base = nullptr;      // where the mapping starts (aligned below data)
  std::size_t mapped = 0;    // bytes mapped from base
};
// Maps length bytes at offset of a file opened with read access (offset
// >= 0, length > 0, the range inside the file); false when the system cannot
// map them, so the caller reads them instead. view must not hold a mapping.
bool MapFileRange(FileHandle file, i64 offset, i64 length, FileView* view);
void UnmapFileRange(FileView* view);

// Owns one file handle; closes it when it goes.
class ScopedFile {
 public:
  ScopedFile() = default;
  explicit ScopedFile(FileHandle file) : file_(file) {}
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  ~ScopedFile() { Reset(); }

  FileHandle Get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  FileHandle Release() {
    FileHandle file = file_;
    file_ = nullptr;
    return file;
  }
  void Reset(FileHandle file = nullptr) {
    if (file_) CloseFileHandle(file_);
    file_ = file;
  }

 private:
  FileHandle file_ = nullptr;
};

}  // namespace kova::platform
