// Where the files that an uninstallation reads live: Uninstall.DAT,
// Install.LOG and "Installer Background.BMP" sit in the uninstall folder,
// which is InstallDir itself or UninstallSubdir below it. The installer writes
// them there and the uninstaller, which learns InstallDir and UninstallSubdir
// from the Uninstall key, finds them the same way.
#pragma once

#include "core/string.h"

namespace kova::install {

// InstallDir joined with (UninstallSubdir joined with name), from payload::Folders().
core::String UninstallDataPath(const char* name);

}  // namespace kova::install
