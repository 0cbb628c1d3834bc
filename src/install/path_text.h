// Path texts: cutting a path into folder, name and extension in place,
// checking that a path holds no forbidden characters, and comparing two
// paths. They look only at the text, never at the file system.
#pragma once

#include "core/string.h"

namespace kova::install {

// Keeps everything up to and including the separator core::DirectoryOf finds
// ("C:\a\b.txt" -> "C:\a\"); false when there is none.
bool StripFileName(core::String& path);
// Removes everything up to and including that separator.
void StripDirectory(core::String& path);
// Removes the text from the last '.' after the last backslash; false when
// there is none.
bool StripExtension(core::String& path);

// IsValidPath flags.
inline constexpr u32 kValidAllowStar = 0x1;      // '*' allowed
inline constexpr u32 kValidAllowWildcards = 0x2; // '*' and '?' allowed

// Whether path (quotes around it and a drive "X:" aside) holds none of
// / " < > | : ; and, unless flags allow them, neither ? nor *.
bool IsValidPath(u32 flags, const char* path);

// Equal without regard to case, each without one trailing backslash.
bool PathsEqual(const char* a, const char* b);

}  // namespace kova::install
