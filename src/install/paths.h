// Path operations on Windows-form paths (backslashes, drive letters). They
// only look at the text, never at the file system, so they behave the same on
// every platform.
#pragma once

#include "core/string.h"

namespace kova::install {

// dir + name with exactly one backslash between them; "C:" + "x" is "C:x".
core::String JoinPath(const char* dir, const char* name);
// The folder part: "C:\a\b.txt" -> "C:\a", "C:\b.txt" -> "C:\", "C:b.txt" -> "C:".
core::String DirectoryOf(const char* path);
// The part after the last separator; the whole path when there is none.
core::String FileNameOf(const char* path);
// 'C' for "c:..."; NUL when the path has no drive letter.
char DriveLetterOf(const char* path);

}  // namespace kova::install
