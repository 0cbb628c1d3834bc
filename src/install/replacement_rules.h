// Whether a file of the archive replaces a file already at its target: the
// decision table of the file loop. Files for the installation directory
// (types 0 and 5) always overwrite; shared files and fonts replace only an
// older file (by stamp); system files only a file whose version is not
// newer (when both versions are known) and whose stamp is older. Each
// decision about an existing file adds its line, which begins with the
// target path, to the log text.
#pragma once

#include "core/string.h"
#include "format/file_stamp.h"

namespace kova::install {

// The log lines, after the target path.
inline constexpr const char* kLogUpToDate = " is up to date.\r\n";
inline constexpr const char* kLogOutOfDate = " is out of date and will be replaced.\r\n";
inline constexpr const char* kLogVersionNotNewer = " was not installed because its version is not newer.\r\n";
inline constexpr const char* kLogDateNotNewer = " was not installed because its date is not newer.\r\n";

// True when the file is to be written. versionText: the record's text 1
// (the new file's version, for type 6).
bool ShouldInstall(u32 type, const char* target, const format::FileStamp& stamp, const char* versionText,
                   core::String& logText);

}  // namespace kova::install
