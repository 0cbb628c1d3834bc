// Path operations on Windows-form paths (backslashes, drive letters). They
// only look at the text, never at the file system, so they behave the same on
// every platform.
#pragma once

#include "core/string.h"

namespace kova::core {

// dir + name with exactly one backslash between them; "C:" + "x" is "C:x".
core::String JoinPath(const char* dir, const char* name);
// The folder part: "C:\a\b.txt" -> "C:\a", "C:\b.txt" -> "C:\", "C:b.txt" -> "C:".
core::String DirectoryOf(const char* path);
// The part after the last separator; the whole path when there is none.
core::String FileNameOf(const char* path);
// 'C' for "c:..."; NUL when the path has no drive letter.
char DriveLetterOf(const char* path);

// Makes path absolute against base, in place; true when it did. The path is
// trimmed of blanks first. Nothing else changes (and false comes back) when
// the path is empty or a network path, already absolute, or base is not
// absolute ("\\..." or "X:\..."). "\Data" takes the drive of base,
// "Data" goes below base, and "D:tools" against "C:\Program Files" becomes
// "D:\Program Files\tools".
bool MakeAbsolutePath(core::String& path, const char* base);

}  // namespace kova::core
