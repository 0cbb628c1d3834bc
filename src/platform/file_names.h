// Names the system hands out: the temporary folder, new unique temporary
// files and the short (8.3) form of a path. The buffer conventions are
// Win32's, because the callers above implement the retry rules that depend on
// them.
#pragma once

#include "core/types.h"

namespace kova::platform {

// MAX_PATH: the buffer size GetTempFileNameA writes into.
inline constexpr u32 kMaxPath = 260;

// GetTempPathA: the temporary folder with a trailing backslash. When it and
// its NUL fit in size characters it is copied and its length returned;
// otherwise the size needed (NUL included) is returned. 0 on failure.
u32 TempPathInto(u32 size, char* buffer);

// GetTempFileNameA(folder, prefix, unique, buffer of kMaxPath): with unique 0
// a new empty file "<folder>\<first 3 of prefix><hex>.TMP" is created and its
// number returned; 0 on failure.
u32 TempFileNameInto(const char* folder, const char* prefix, u32 unique, char* buffer);

// GetShortPathNameA: the path of an existing file or folder with each long
// name replaced by its 8.3 alias. Returns the length copied, or the size
// needed (NUL included) when the buffer is too small; 0 on failure.
u32 ShortPathInto(const char* path, char* buffer, u32 size);

}  // namespace kova::platform
