// File: one open file of the installer or uninstaller, for block reads and
// writes with readable error texts. Opening follows a mode word (the kOpen...
// bits below): the access and sharing asked of the system, what the name
// means (the path itself or a new temporary file), bounded waits when another
// program holds the file, loading the whole file into memory, and whether a
// failure ends the program. Operations report failure by their result and
// leave a text in LastError().
#pragma once

#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/file_stamp.h"
#include "platform/file_system.h"

namespace kova::install {

// Creation (a two-bit field).
inline constexpr u32 kOpenOrCreate = 0x0;     // OPEN_ALWAYS
inline constexpr u32 kOpenExisting = 0x1;     // OPEN_EXISTING
inline constexpr u32 kOpenCreateNew = 0x2;    // CREATE_NEW
inline constexpr u32 kOpenCreateAlways = 0x3; // CREATE_ALWAYS
inline constexpr u32 kOpenCreationMask = 0x3;
inline constexpr u32 kOpenNoRead = 0x8;
inline constexpr u32 kOpenNoWrite = 0x10;
inline constexpr u32 kOpenRequired = 0x20;     // a failure is fatal
inline constexpr u32 kOpenRetryOnce = 0x40;    // after the first failure of any kind, 100 ms and once more
inline constexpr u32 kOpenInMemory = 0x80;     // load the whole file into memory
inline constexpr u32 kOpenShareRead = 0x100;
inline constexpr u32 kOpenShareWrite = 0x200;
inline constexpr u32 kOpenAppend = 0x400;      // position at the end
inline constexpr u32 kOpenTestOnly = 0x800;    // close again at once
inline constexpr u32 kOpenNoWait = 0x1000;     // no waiting on sharing violations
// What the name means (a three-bit field).
inline constexpr u32 kOpenNameMask = 0xE0000000u;
inline constexpr u32 kOpenNameGiven = 0x0;
inline constexpr u32 kOpenNewTempInTempDir = 0x20000000u;  // a new temporary file in the temporary folder
inline constexpr u32 kOpenNewTempInFolder = 0x40000000u;   // ... in the folder given as path
inline constexpr u32 kOpenNewTempBeside = 0x80000000u;     // ... in core::DirectoryOf(path)
inline constexpr u32 kOpenInTempDir = 0xC0000000u;         // the path joined to the temporary folder

// The mode words the engine uses.
inline constexpr u32 kModeRead = 0x111;         // existing file, read only, shared
inline constexpr u32 kModeCreate = 0x3;         // create or truncate, read and write, not shared
inline constexpr u32 kModeUpdate = 0x1;         // existing file, read and write, not shared
inline constexpr u32 kModeExists = 0xB19;       // existence test
inline constexpr u32 kModeCanWrite = 0xB49;     // in-use test
inline constexpr u32 kModeAppend = 0x400;       // open or create, read and write, at the end

// Open results.
inline constexpr i32 kOpenOk = 0;
inline constexpr i32 kOpenUnknownError = 1;
inline constexpr i32 kOpenInvalidName = 2;
inline constexpr i32 kOpenFileNotFound = 3;
inline constexpr i32 kOpenPathNotFound = 4;
inline constexpr i32 kOpenLocked = 5;
inline constexpr i32 kOpenLoadFailed = 6;
inline constexpr i32 kOpenTooManyFiles = 7;
inline constexpr i32 kOpenInvalidParameter = 8;
inline constexpr i32 kOpenFileExists = 9;

// The text of an open result ("An unknown error occurred." for 1 and any
// other number).
const char* OpenResultText(i32 result);

// Writes reach the system in pieces of at most this many bytes.
inline constexpr i32 kWritePiece = 1048576;

class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  // Closes any file open first. attributes: file_system.h attribute bits
  // for a file that is created.
  i32 Open(const char* path, u32 mode, u32 attributes = platform::kAttributeNormal);
  // Writes a changed memory image back first; false when that failed (the
  // file is closed all the same).
  bool Close();

  bool IsOpen() const { return handle_ != nullptr; }
  bool InMemory() const { return inMemory_; }
  bool CanRead() const { return canRead_; }
  bool CanWrite() const { return canWrite_; }
  const core::String& Name() const { return name_; }
  const core::String& LastError() const { return lastError_; }
  void SetFlushAfterWrite(bool on) { flushAfterWrite_ = on; }

  bool Write(const void* data, i32 size);
  bool Read(void* buffer, i32 size);
  // Read with the block checks: 0 bytes succeed, a negative size or a null
  // buffer fail with their own texts.
  bool ReadBlock(void* buffer, i32 size);

  // The length: of the image in memory, else of the file; -1 without a file,
  // and -1 for a file of 2 GiB or more, whose length no i32 holds.
  i32 Size();
  bool Seek(i32 position);
  bool SeekFromEnd(i32 offset);
  // The position; -1 when there is none or it is beyond what an i32 holds.
  i32 Tell();
  // Reads at a position and puts the position back.
  bool ReadAt(i32 position, void* buffer, i32 size);
  // size bytes from position into out; false, before anything is allocated,
  // unless the whole range lies inside the file.
  bool ReadRange(core::ByteBuffer& out, i32 position, i32 size);
  // A read-only view of size bytes at position, mapped from the system's
  // cache without a copy (platform::MapFileRange); valid until the file is
  // closed or mapped again. Null when the range does not lie inside the
  // file, the file is in memory or the system cannot map it (any failure is
  // a null): the caller then reads the bytes.
  const u8* MapRange(i32 position, i32 size);
  // The last size bytes; false when size < 1 or the file is shorter.
  bool ReadTail(void* buffer, i32 size);
  // Ends the file at the position (needs write access).
  bool Truncate();
  bool Flush();

  // The last-write time in local time (milliseconds 0); setting needs write
  // access and flushes the file first.
  bool SetLastWriteStamp(const format::FileStamp& stamp);
  // All zeros when there is no file or the time cannot be read.
  format::FileStamp GetLastWriteStamp();

 private:
  i32 OpenOnce(const core::String& name, u32 mode, u32 attributes);
  bool LoadImage();
  bool WriteImageBack();
  bool WriteToSystem(const u8* data, i32 size);
  bool Fail(const char* text);
  bool FailWithSystemText();

  platform::FileHandle handle_ = nullptr;
  core::String name_;
  core::ByteBuffer image_;
  platform::FileView view_;
  i32 imagePosition_ = 0;
  bool inMemory_ = false;
  bool dirty_ = false;
  bool flushAfterWrite_ = false;
  bool canRead_ = false;
  bool canWrite_ = false;
  core::String lastError_;
};

// The fatal box text of a required file that could not be opened.
core::String RequiredFileText(const char* path, i32 result);

}  // namespace kova::install
