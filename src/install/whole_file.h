// Whole-file operations: a file's stamp, appending a text, reading a file
// into a String and writing bytes out in one piece. They report failure by
// their result only.
#pragma once

#include "core/string.h"
#include "format/file_stamp.h"

namespace kova::install {

// Opens with kModeRead and reads the last-write stamp; false when the open
// fails.
bool ReadFileStamp(const char* path, format::FileStamp* stamp);

// AppendTextToFile options.
inline constexpr u32 kAppendEnsureLineBreak = 0x1;  // end the file with CR LF first unless it ends a line
inline constexpr u32 kAppendNoRetry = 0x2;          // a failed write fails at once
inline constexpr u32 kAppendExistingOnly = 0x4;     // never create the file

// Appends text (without its NUL) to the file, up to 10 tries 25 ms apart when
// the write fails. A null text appends nothing and succeeds. A failed write
// leaves the file as it was before the call (cut back to its old end; a file
// the call created is removed again).
bool AppendTextToFile(const char* path, const char* text, u32 options);

// The whole file into out; an open result code (file.h): 2 for an empty path,
// the open's result when it fails, 6 (out empty) when the contents cannot be
// read.
i32 ReadWholeFile(const char* path, core::String& out);

// Creates or truncates the file and writes size bytes (nothing when size <
// 1). False for an empty path, a file that cannot be created, or a write
// that did not take every byte.
bool WriteWholeFile(const char* path, const void* data, i64 size);

}  // namespace kova::install
