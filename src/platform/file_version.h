// The version resource of a file, as version.dll reads it: the text stored
// under a sub-block path such as "\StringFileInfo\040904E4\FileVersion".
// The file loop compares the versions of system files with it.
#pragma once

#include "core/string.h"

namespace kova::platform {

// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA of
// subBlock. Empty when any step fails: no such file, no version resource, no
// such sub-block, or a sub-block that holds no text.
core::String FileVersionValue(const char* path, const char* subBlock);

}  // namespace kova::platform
