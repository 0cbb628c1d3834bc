// The PATH line of the boot drive's autoexec.bat: when the install script asks
// for it (ProductFlags 0x1000) the installer adds the install directory to
// the search path of DOS-based Windows with a line
// "PATH=%PATH%;<short install directory>", and the uninstaller removes that
// line again.
#pragma once

#include "core/string.h"

namespace kova::install {

// Adds (add) or removes the line for payload::Folders().installDir in
// <BootDrive>:\autoexec.bat. Empty on success (also when there was nothing
// to do); otherwise the text that asks the user to change PATH by hand,
// which the installer appends to its error text and the uninstaller shows.
core::String ModifyPath(bool add);

// The same on a given file, with installDir for the message and shortDir
// (the 8.3 form of installDir) for the line. The uninstaller computes the
// short form while the directory still exists: for a directory that is gone
// the short form can no longer be found, and a long form would not match
// the line that was added.
core::String ModifyPathLine(const char* autoexecPath, const char* installDir, const char* shortDir, bool add);

}  // namespace kova::install
