// The temporary folder, new temporary files and short (8.3) paths.
#pragma once

#include "core/string.h"

namespace kova::install {

// The temporary folder with its trailing backslash, computed on first use
// and kept for the process; "c:\temp" when the system names none.
const core::String& TempDirectory();
// How TempDirectory computes it, from a GetTempPathA-like query.
using TempPathQuery = u32 (*)(u32 size, char* buffer);
core::String ComputeTempDirectory(TempPathQuery query);

// A new empty file "KVT<hex>.TMP" in folder; its name, or empty on failure.
core::String MakeTempFile(const char* folder);

// The 8.3 form of an existing path; the path itself when there is none; the
// empty text for an empty path.
core::String ShortPath(const char* path);

}  // namespace kova::install
