// Writing one installed file: created afresh, written in one piece and given
// the stamp from the archive, checked by reading it back when the
// installation asks for it. A file that cannot be written gets three attempts; the
// read-only attribute of an existing file is cleared after the first
// failure when the installation allows it. A file that was created but not
// written whole in any attempt is deleted again: no file stays half-written
// under its final name (an existing target that could not be opened is left
// as it was).
#pragma once

#include "core/string.h"
#include "format/file_stamp.h"

namespace kova::install {

enum class WriteResult {
  kWritten,
  kFailed,        // three attempts failed; the error text has its line
  kNegativeSize,  // a size below 0 (CorruptArchive 5); nothing was touched
};

// options: the ProductFlags bits kFlagVerifyFiles (0x40000) and
// kFlagClearReadOnly (0x80000) are read. On failure the error text gets
// message 31, a space, the target and CR LF.
WriteResult WriteInstalledFile(const char* target, const u8* data, i32 size, const format::FileStamp& stamp, u32 options,
                               core::String& errorText);

// Reads the file back in blocks of 4,096 bytes: true when it holds exactly
// the data.
bool FileHoldsData(const char* path, const u8* data, i32 size);

}  // namespace kova::install
