// The File class; see file.h.
#include "install/file.h"

#include <cstring>

#include "core/paths.h"
#include "install/file_source.h"
#include "install/temp_files.h"
#include "payload/fatal.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace kova::install {
namespace {

constexpr i32 kMaxWaits = 5;
constexpr u32 kWaitMilliseconds = 100;
constexpr i64 kMaxI32 = 0x7FFFFFFF;

// Creation field -> CreateFileA's creation value.
constexpr u32 kCreation[] = {platform::kOpenAlways, platform::kOpenExisting, platform::kCreateNew,
                             platform::kCreateAlways};

i32 ResultOf(platform::SystemError error) {
  switch (error) {
    case platform::kErrorInvalidName: return kOpenInvalidName;
    case platform::kErrorFileNotFound: return kOpenFileNotFound;
    case platform::kErrorPathNotFound: return kOpenPathNotFound;
    case platform::kErrorSharingViolation: return kOpenLocked;
    case platform::kErrorTooManyOpenFiles: return kOpenTooManyFiles;
    case platform::kErrorInvalidParameter: return kOpenInvalidParameter;
    case platform::kErrorFileExists: return kOpenFileExists;
    default: return kOpenUnknownError;
  }
}

}  // namespace

const char* OpenResultText(i32 result) {
  switch (result) {
    case kOpenOk: return "The file was successfully opened.";
    case kOpenInvalidName: return "The filename is invalid.";
    case kOpenFileNotFound: return "The file was not found.";
    case kOpenPathNotFound: return "The directory does not exist.";
    case kOpenLocked: return "The file is locked by another application.";
    case kOpenLoadFailed: return "Failed to read the file into memory.";
    case kOpenTooManyFiles: return "Too many files are already open.";
    case kOpenInvalidParameter: return "An invalid parameter was used.";
    case kOpenFileExists: return "The file already exists.";
    default: return "An unknown error occurred.";
  }
}

core::String RequiredFileText(const char* path, i32 result) {
  return core::Formatted("Failed to open required file:\r\n%s\r\n\r\n%s", path ? path : "", OpenResultText(result));
}

i32 File::Open(const char* path, u32 mode, u32 attributes) {
  Close();
  core::String name;
  i32 result = kOpenOk;
  switch (mode & kOpenNameMask) {
    case kOpenNameGiven: name = path; break;
    case kOpenNewTempInTempDir: name = MakeTempFile(TempDirectory().CStr()); break;
    case kOpenNewTempInFolder: name = MakeTempFile(path ? path : ""); break;
    case kOpenNewTempBeside: name = MakeTempFile(core::DirectoryOf(path).CStr()); break;
    case kOpenInTempDir: name = core::JoinPath(TempDirectory().CStr(), path); break;
    default: result = kOpenInvalidParameter; break;
  }
  // A new temporary file has just been made empty; it is opened as created.
  u32 nameKind = mode & kOpenNameMask;
  if (nameKind == kOpenNewTempInTempDir || nameKind == kOpenNewTempInFolder || nameKind == kOpenNewTempBeside)
    mode |= kOpenCreateAlways;
  if (result == kOpenOk) result = name.IsEmpty() ? kOpenInvalidName : OpenOnce(name, mode, attributes);

  if (result == kOpenOk && (mode & kOpenInMemory) && !LoadImage()) {
    Close();
    result = kOpenLoadFailed;
  }
  if (result != kOpenOk) {
    lastError_ = OpenResultText(result);
    if (mode & kOpenRequired)
      payload::FatalError("%s", RequiredFileText(name.IsEmpty() ? path : name.CStr(), result).CStr());
    return result;
  }
  if (mode & kOpenAppend) SeekFromEnd(0);
  if (mode & kOpenTestOnly) Close();
  return kOpenOk;
}

// One open with its waits: after any first failure with kOpenRetryOnce, and
// on sharing violations unless kOpenNoWait, 100 ms and another try, at most
// five waits in all.
i32 File::OpenOnce(const core::String& name, u32 mode, u32 attributes) {
  u32 access = ((mode & kOpenNoRead) ? 0 : platform::kAccessRead) | ((mode & kOpenNoWrite) ? 0 : platform::kAccessWrite);
  u32 share = ((mode & kOpenShareRead) ? platform::kShareRead : 0) | ((mode & kOpenShareWrite) ? platform::kShareWrite : 0);
  // Without read access, sharing writing also shares reading; without write
  // access, sharing reading also shares writing.
  if (!(access & platform::kAccessRead) && (share & platform::kShareWrite)) share |= platform::kShareRead;
  if (!(access & platform::kAccessWrite) && (share & platform::kShareRead)) share |= platform::kShareWrite;
  u32 creation = kCreation[mode & kOpenCreationMask];

  i32 waits = 0;
  bool retried = false;
  for (;;) {
    handle_ = platform::OpenFileHandle(name.CStr(), access, share, creation, attributes);
    if (handle_) break;
    platform::SystemError error = platform::LastSystemError();
    bool retryOnce = (mode & kOpenRetryOnce) && !retried;
    bool waitForSharing = error == platform::kErrorSharingViolation && !(mode & kOpenNoWait) && waits < kMaxWaits;
    if (!retryOnce && !waitForSharing) return ResultOf(error);
    retried = true;
    ++waits;
    platform::SleepMilliseconds(kWaitMilliseconds);
  }
  name_ = name;
  canRead_ = access & platform::kAccessRead;
  canWrite_ = access & platform::kAccessWrite;
  return kOpenOk;
}

bool File::LoadImage() {
  i64 length = 0;
  if (!platform::FileLength(handle_, &length) || length > kMaxI32) return false;
  if (!platform::MoveFilePointer(handle_, 0, platform::kSeekBegin, nullptr)) return false;
  image_.Resize(static_cast<std::size_t>(length));
  u32 done = 0;
  if (length > 0 && (!platform::ReadFileData(handle_, image_.Data(), static_cast<u32>(length), &done) ||
                     done != static_cast<u32>(length))) {
    image_ = core::ByteBuffer();
    return false;
  }
  imagePosition_ = 0;
  inMemory_ = true;
  dirty_ = false;
  return true;
}

bool File::WriteImageBack() {
  if (!platform::MoveFilePointer(handle_, 0, platform::kSeekBegin, nullptr)) return FailWithSystemText();
  if (!WriteToSystem(image_.Data(), static_cast<i32>(image_.Size()))) return false;
  if (!platform::SetFileEnd(handle_)) return FailWithSystemText();
  dirty_ = false;
  return true;
}

bool File::Close() {
  bool ok = true;
  platform::UnmapFileRange(&view_);
  if (inMemory_ && dirty_ && handle_) ok = WriteImageBack();
  image_ = core::ByteBuffer();
  imagePosition_ = 0;
  inMemory_ = dirty_ = false;
  if (handle_) platform::CloseFileHandle(handle_);
  handle_ = nullptr;
  canRead_ = canWrite_ = false;
  return ok;
}

bool File::Fail(const char* text) {
  lastError_ = text;
  return false;
}

bool File::FailWithSystemText() {
  platform::SystemError error = platform::LastSystemError();
  lastError_ = platform::SystemErrorText(error);
  if (lastError_.IsEmpty()) lastError_.Format("System error %u", error);
  return false;
}

bool File::WriteToSystem(const u8* data, i32 size) {
  for (i32 offset = 0; offset < size;) {
    i32 piece = size - offset < kWritePiece ? size - offset : kWritePiece;
    u32 done = 0;
    if (!platform::WriteFileData(handle_, data + offset, static_cast<u32>(piece), &done)) return FailWithSystemText();
    if (done != static_cast<u32>(piece)) return Fail("Not all data could be written");
    offset += piece;
  }
  return true;
}

bool File::Write(const void* data, i32 size) {
  if (size == 0) return true;
  if (size < 0) return Fail("Illegal block size");
  if (!data) return Fail("NULL block pointer");
  if (!canWrite_) return Fail("Write access denied");
  if (inMemory_) {
    i64 end = static_cast<i64>(imagePosition_) + size;
    if (end > kMaxI32) return Fail("Illegal block size");
    if (static_cast<std::size_t>(end) > image_.Size()) image_.Resize(static_cast<std::size_t>(end));
    std::memcpy(image_.Data() + imagePosition_, data, static_cast<std::size_t>(size));
    imagePosition_ = static_cast<i32>(end);
    dirty_ = true;
    return true;
  }
  if (!handle_) return Fail("File not open");
  if (!WriteToSystem(static_cast<const u8*>(data), size)) return false;
  if (flushAfterWrite_ && !platform::FlushFileData(handle_)) return FailWithSystemText();
  return true;
}

bool File::Read(void* buffer, i32 size) {
  if (size == 0) return true;
  if (size < 0) return Fail("Illegal block size");
  if (!buffer) return Fail("NULL block pointer");
  if (!canRead_) return Fail("Read access denied");
  if (inMemory_) {
    i64 left = static_cast<i64>(image_.Size()) - imagePosition_;
    if (left < size) return Fail("Read past end of file");
    std::memcpy(buffer, image_.Data() + imagePosition_, static_cast<std::size_t>(size));
    imagePosition_ += size;
    return true;
  }
  if (!handle_) return Fail("File not open");
  u32 done = 0;
  if (!platform::ReadFileData(handle_, buffer, static_cast<u32>(size), &done)) return FailWithSystemText();
  if (done != static_cast<u32>(size)) return Fail("Read past end of file");
  return true;
}

bool File::ReadBlock(void* buffer, i32 size) {
  if (size == 0) return true;
  if (size < 0) {
    lastError_.Format("Illegal block size %d", size);
    return false;
  }
  if (!buffer) return Fail("NULL block pointer");
  return Read(buffer, size);
}

i32 File::Size() {
  if (inMemory_) return static_cast<i32>(image_.Size());
  if (!handle_) return -1;
  i64 length = 0;
  if (!platform::FileLength(handle_, &length)) {
    FailWithSystemText();
    return -1;
  }
  // Callers take -1 as "no size"; a length that wrapped to a small or
  // negative i32 would make them read the wrong bytes.
  if (length > kMaxI32) {
    Fail("File too large");
    return -1;
  }
  return static_cast<i32>(length);
}

bool File::Seek(i32 position) {
  if (inMemory_) {
    if (position < 0) {
      platform::SetLastSystemError(platform::kErrorNegativeSeek);
      return FailWithSystemText();
    }
    imagePosition_ = position;
    return true;
  }
  if (!handle_) return Fail("File not open");
  if (!platform::MoveFilePointer(handle_, position, platform::kSeekBegin, nullptr)) return FailWithSystemText();
  return true;
}

bool File::SeekFromEnd(i32 offset) {
  if (inMemory_) {
    i64 position = static_cast<i64>(image_.Size()) + offset;
    if (position < 0 || position > kMaxI32) {
      platform::SetLastSystemError(platform::kErrorNegativeSeek);
      return FailWithSystemText();
    }
    imagePosition_ = static_cast<i32>(position);
    return true;
  }
  if (!handle_) return Fail("File not open");
  if (!platform::MoveFilePointer(handle_, offset, platform::kSeekEnd, nullptr)) return FailWithSystemText();
  return true;
}

i32 File::Tell() {
  if (inMemory_) return imagePosition_;
  if (!handle_) return -1;
  i64 position = 0;
  if (!platform::MoveFilePointer(handle_, 0, platform::kSeekCurrent, &position)) {
    FailWithSystemText();
    return -1;
  }
  if (position > kMaxI32) {
    Fail("File too large");
    return -1;
  }
  return static_cast<i32>(position);
}

bool File::ReadAt(i32 position, void* buffer, i32 size) {
  i32 saved = Tell();
  if (saved < 0) return inMemory_ || handle_ ? false : Fail("File not open");
  if (!Seek(position)) return false;
  bool ok = Read(buffer, size);
  Seek(saved);
  return ok;
}

bool File::ReadRange(core::ByteBuffer& out, i32 position, i32 size) {
  if (position < 0 || size < 0) return Fail("Illegal block size");
  i32 length = Size();
  // In 64 bits: position + size must not wrap past the check.
  if (length < 0 || static_cast<i64>(position) + size > length) return Fail("Read past end of file");
  out.Resize(static_cast<std::size_t>(size));
  if (!ReadAt(position, out.Data(), size)) {
    out.Clear();
    return false;
  }
  return true;
}

const u8* File::MapRange(i32 position, i32 size) {
  platform::UnmapFileRange(&view_);
  if (inMemory_ || !handle_ || position < 0 || size <= 0) return nullptr;
  return platform::MapFileRange(handle_, position, size, &view_) ? view_.data : nullptr;
}

const u8* FileSource::View(i64 position, i64 n) {
  if (position < 0 || n <= 0 || position > 0x7FFFFFFF || n > 0x7FFFFFFF - position) return nullptr;
  const u32 at = static_cast<u32>(position), size = static_cast<u32>(n);
  const u32 offset = at - section_.rawPointer;  // wraps to a large value before the section
  if (section_.rawPointer != 0 && offset < section_.rawSize && size <= section_.rawSize - offset) {
    if (const u8* image = platform::ProgramImageBytes(section_.virtualAddress + offset, size)) return image;
  }
  return file_.MapRange(static_cast<i32>(at), static_cast<i32>(size));
}

bool File::ReadTail(void* buffer, i32 size) {
  if (size < 1) return Fail("Illegal block size");
  i32 length = Size();
  if (length < size) return Fail("Read past end of file");
  return ReadAt(length - size, buffer, size);
}

bool File::Truncate() {
  if (!canWrite_) return Fail("Write access denied");
  if (inMemory_) {
    if (static_cast<std::size_t>(imagePosition_) < image_.Size()) image_.Resize(static_cast<std::size_t>(imagePosition_));
    dirty_ = true;
    return true;
  }
  if (!handle_) return Fail("File not open");
  if (!platform::SetFileEnd(handle_)) return FailWithSystemText();
  return true;
}

bool File::Flush() {
  if (!handle_) return Fail("File not open");
  if (inMemory_ && dirty_ && !WriteImageBack()) return false;
  if (!platform::FlushFileData(handle_)) return FailWithSystemText();
  return true;
}

bool File::SetLastWriteStamp(const format::FileStamp& stamp) {
  if (!handle_) return Fail("File not open");
  // A memory image written back later would set the time again.
  if (inMemory_ && dirty_ && !WriteImageBack()) return false;
  // Writes still in the system's cache must not move the time again later;
  // SetLastWriteTime sees to that where the system needs it (Win32 flushes
  // first; on POSIX every write has already set the time it is going to).
  core::DateTime local;
  local.year = stamp.year;
  local.month = stamp.month;
  local.day = stamp.day;
  local.hour = stamp.hour;
  local.minute = stamp.minute;
  local.second = stamp.second;
  if (!platform::SetLastWriteTime(handle_, local)) return FailWithSystemText();
  return true;
}

format::FileStamp File::GetLastWriteStamp() {
  format::FileStamp stamp;
  core::DateTime local;
  if (!handle_ || !platform::GetLastWriteTime(handle_, &local)) return stamp;
  stamp.year = local.year;
  stamp.month = local.month;
  stamp.day = local.day;
  stamp.hour = local.hour;
  stamp.minute = local.minute;
  stamp.second = local.second;
  return stamp;
}

}  // namespace kova::install
