// Writing installed files; see installed_file_writer.h.
#include "install/installed_file_writer.h"

#include <cstring>

#include "core/memory.h"
#include "format/install_script.h"
#include "install/file.h"
#include "install/file_operations.h"
#include "payload/messages.h"

namespace kova::install {
namespace {

constexpr int kWriteAttempts = 3;
constexpr i32 kVerifyBlock = 1 << 16;

// One attempt: created (or truncated) and written in one piece. created
// tells whether the target was opened, so that whatever was there before is
// gone. The stamp is set through the handle that wrote the file: opening the
// file once more only for its time would cost a second open and path lookup
// for every file installed.
bool WriteOnce(const char* target, const u8* data, i32 size, const format::FileStamp& stamp, bool& created) {
  File file;
  if (file.Open(target, kModeCreate) != kOpenOk) return false;
  created = true;
  bool written = file.Write(data, size);
  if (written && stamp.IsSet()) file.SetLastWriteStamp(stamp);
  return file.Close() && written;
}

}  // namespace

bool FileHoldsData(const char* path, const u8* data, i32 size) {
  File file;
  if (file.Open(path, kModeRead) != kOpenOk || file.Size() != size) return false;
  if (size == 0) return true;
  // From the heap, not the stack: the stub does not probe its stack, so no
  // frame of it may be near a page in size.
  const i32 blockSize = size < kVerifyBlock ? size : kVerifyBlock;
  u8* block = static_cast<u8*>(core::Allocate(static_cast<std::size_t>(blockSize)));
  bool same = true;
  for (i32 at = 0; same && at < size; at += blockSize) {
    i32 n = size - at < blockSize ? size - at : blockSize;
    same = file.Read(block, n) && std::memcmp(block, data + at, static_cast<std::size_t>(n)) == 0;
  }
  core::Release(block);
  return same;
}

WriteResult WriteInstalledFile(const char* target, const u8* data, i32 size, const format::FileStamp& stamp, u32 options,
                               core::String& errorText) {
  if (size < 0) return WriteResult::kNegativeSize;
  bool written = false;
  bool created = false;
  for (int attempt = 0; attempt < kWriteAttempts && !written; ++attempt) {
    if (WriteOnce(target, data, size, stamp, created)) {
      written = !(options & format::kFlagVerifyFiles) || FileHoldsData(target, data, size);
    } else if (attempt == 0 && (options & format::kFlagClearReadOnly)) {
      SetReadOnly(target, false);
    }
  }
  if (!written) {
    // A file cut short (a full disk) or not matching its data never stays
    // under its final name. A target that could not even be opened was not
    // touched and stays as it was.
    if (created) DeleteFile(target);
    errorText.AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotInstall).CStr(), target);
    return WriteResult::kFailed;
  }
  return WriteResult::kWritten;
}

}  // namespace kova::install
