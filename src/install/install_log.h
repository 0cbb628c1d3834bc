// The installation log: at the end of an installation the user learns
// whether everything went well, and one section is appended to Install.LOG
// in the uninstall folder (so the file keeps one section per installation of
// the product). A section holds a fixed header, the log text of the file loop
// and the error text of all installation steps. After a clean installation
// the user may open the log.
#pragma once

#include "core/date_time.h"
#include "core/string.h"
#include "install/processes.h"

namespace kova::install {

inline constexpr const char* kInstallLogName = "Install.LOG";

// Writes the section and asks the questions; see the .cpp for the order.
// logText: the file loop's lines; reinstall: the user confirmed installing
// over an earlier registration; errorText: every error line of the
// installation (a copy: the trailer is added to it, not to the caller's);
// report: tell the user (the installer passes true); productVersion: the
// install script's version text, left out of the section when blank.
//
// ProductFlags: 0x40 writes a section even for a clean installation without
// log lines; 0x400000 keeps the error box away. Automatic mode asks nothing.
void WriteInstallLog(const core::String& logText, bool reinstall, core::String errorText, bool report,
                     const char* productVersion);

// The clock of the "Install date" line: platform::LocalTime unless replaced
// (tests fix the date; null puts the real clock back).
using InstallLogClock = core::DateTime (*)();
void SetInstallLogClock(InstallLogClock clock);


}  // namespace kova::install
