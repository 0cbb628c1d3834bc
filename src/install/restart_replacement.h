// Replacing a file that is in use: the new file has been written to a
// temporary file beside it, and Windows is asked to move it over the
// occupied one when it next starts. Windows NT does that with MoveFileExA
// (MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT); Windows 95 and
// 98 with a line "occupied=temporary" in the section [rename] of wininit.ini
// in the Windows directory.
#pragma once

#include "core/string.h"

namespace kova::install {

inline constexpr const char* kMoveFileExMissing =
    "Failed to install %s because MoveFileEx could not be linked from KERNEL32.DLL\r\n";
inline constexpr const char* kMoveFileExFailed = "Failed to update system file:\r\n%s\r\n\r\n";

struct RestartReplacer {
  bool isNt = false;             // the system is Windows NT
  bool moveFileExLinked = false; // MoveFileExA was found (looked up on NT only)
  core::String windowsDir;       // where wininit.ini lives
};

// Looks at the system once, before the first file.
RestartReplacer MakeRestartReplacer();

// Asks for temporary to replace occupied at the next restart. Problems go to
// the error text. False only when MoveFileExA itself failed: the file then
// counts as not installed.
bool ReplaceAtRestart(const RestartReplacer& replacer, const char* temporary, const char* occupied,
                      core::String& errorText);

}  // namespace kova::install
