// Initialization files (WritePrivateProfileStringA): the file loop of
// Windows 95 and 98 asks for a replacement at the next restart with a line
// in the section "rename" of wininit.ini.
#pragma once

#include "core/types.h"

namespace kova::platform {

// Sets key=value in [section] of the file at path, creating the file and
// the section when missing. A key already in the section (compared without
// regard to ASCII case) keeps its place and spelling and takes the new value;
// a new one goes after the section's last line. Lines end in CR LF.
bool SetProfileString(const char* section, const char* key, const char* value, const char* path);

}  // namespace kova::platform
