// Whole-file operations; see whole_file.h.
#include "install/whole_file.h"

#include <cstring>

#include "install/file.h"
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
  for (int attempt = 0; attempt < kAppendTries; ++attempt) {
    File file;
    if (file.Open(path, mode) != kOpenOk) return false;
    bool written = true;
    if (options & kAppendEnsureLineBreak) {
      i32 size = file.Size();
      char last = '\0';
      if (size > 0 && file.ReadAt(size - 1, &last, 1) && last != '\r' && last != '\n')
        written = file.Write("\r\n", 2);
    }
    if (written && !text) return true;
    if (written && file.Write(text, static_cast<i32>(std::strlen(text)))) return true;
    if (options & kAppendNoRetry) return false;
    file.Close();
    platform::SleepMilliseconds(kAppendWaitMilliseconds);
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
