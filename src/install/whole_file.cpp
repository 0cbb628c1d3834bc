// Whole-file operations; see whole_file.h.
#include "install/whole_file.h"

#include <cstring>

#include "install/file.h"
#include "install/file_operations.h"
#include "platform/process.h"

namespace kova::install {
namespace {

constexpr int kAppendTries = 10;
constexpr u32 kAppendWaitMilliseconds = 25;

}  // namespace

bool ReadFileStamp(const char* path, format::FileStamp* stamp) {
  File file;
  if (file.Open(path, kModeRead) != kOpenOk) return false;
  *stamp = file.GetLastWriteStamp();
  return true;
}

bool AppendTextToFile(const char* path, const char* text, u32 options) {
  if (!path || !*path) return false;
  u32 mode = kModeAppend | ((options & kAppendExistingOnly) ? kOpenExisting : 0);
  // A file this call creates and cannot fill is removed again, so that a
  // full disk leaves no empty file behind.
  const bool existed = FileExists(path);
  for (int attempt = 0; attempt < kAppendTries; ++attempt) {
    File file;
    if (file.Open(path, mode) != kOpenOk) break;
    const i32 start = file.Size();
    bool written = true;
    if (options & kAppendEnsureLineBreak) {
      char last = '\0';
      if (start > 0 && file.ReadAt(start - 1, &last, 1) && last != '\r' && last != '\n')
        written = file.Write("\r\n", 2);
    }
    if (written && !text) return true;
    if (written && file.Write(text, static_cast<i32>(std::strlen(text)))) return true;
    // A write that stopped part-way (a full disk) leaves nothing of the
    // text: the file is cut back to where it ended, so that the next try
    // does not append a second, whole copy after a broken one.
    if (start >= 0 && file.Seek(start)) file.Truncate();
    if (options & kAppendNoRetry) break;
    file.Close();
    platform::SleepMilliseconds(kAppendWaitMilliseconds);
  }
  if (!existed) {
    File file;
    bool empty = file.Open(path, kModeRead) == kOpenOk && file.Size() == 0;
    file.Close();
    if (empty) DeleteFile(path);
  }
  return false;
}

i32 ReadWholeFile(const char* path, core::String& out) {
  out.Clear();
  if (!path || !*path) return kOpenInvalidName;
  File file;
  i32 result = file.Open(path, kModeRead);
  if (result != kOpenOk) return result;
  i32 size = file.Size();
  // Size is -1 for a file of 2 GiB or more; a String holds at most 1 GiB.
  if (size < 0 || size > core::kMaxStringLength) return kOpenLoadFailed;
  if (size == 0) return kOpenOk;
  out.SetLength(size);
  if (!file.ReadBlock(out.Data(), size)) {
    out.Clear();
    return kOpenLoadFailed;
  }
  return kOpenOk;
}

bool WriteWholeFile(const char* path, const void* data, i64 size) {
  if (!path || !*path) return false;
  // As the C runtime's fopen(path, "wb"): create or truncate, write access,
  // shared for reading and writing.
  platform::ScopedFile file(platform::OpenFileHandle(path, platform::kAccessWrite,
                                                     platform::kShareRead | platform::kShareWrite,
                                                     platform::kCreateAlways, platform::kAttributeNormal));
  if (!file) return false;
  if (size > 0 && !data) return false;
  const auto* bytes = static_cast<const u8*>(data);
  for (i64 offset = 0; offset < size;) {
    u32 piece = size - offset < kWritePiece ? static_cast<u32>(size - offset) : static_cast<u32>(kWritePiece);
    u32 done = 0;
    if (!platform::WriteFileData(file.Get(), bytes + offset, piece, &done) || done != piece) return false;
    offset += piece;
  }
  return true;
}

}  // namespace kova::install
