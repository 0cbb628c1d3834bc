// What an installation with uninstall support leaves for its uninstaller:
// the uninstall shortcuts, the uninstaller image, the Uninstall key with
// every value the uninstaller and Windows' list of programs read, and
// Uninstall.DAT (the uninstall list, the uninstaller's texts in the chosen
// language, the associations). No failure here ends the installation; each
// adds its line to the error text.
#pragma once

#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/install_script.h"

namespace kova::install {

// The uninstall folder joined with the script's uninstaller file name.
core::String UninstallerPath(const format::InstallScript& script);

// The uninstall shortcuts (message 33): in the product's Start-menu folder
// when a shortcut of the script went there and ProductFlags has 0x2, and
// always in the uninstall folder.
void CreateUninstallShortcuts(const format::InstallScript& script, bool startMenuShortcut);

struct UninstallRegistration {
  const format::InstallScript* script = nullptr;
  const core::ByteBuffer* uninstallerImage = nullptr;
  core::String productFonts;      // ProductFonts of the file loop
  core::String sharedFiles;       // SharedFiles of the file loop
  core::String associationsText;  // the lines of the association step
};

// Writes the uninstaller image, the Uninstall key and Uninstall.DAT.
void RegisterUninstaller(const UninstallRegistration& registration);

// Writes Uninstall.DAT whole: the uninstall list, "[Strings]" with the
// uninstaller's messages, and "[Associations]" when there are any. The
// file is written under a temporary name and then put in place, so a
// failure never leaves half a file. False when it could not be written.
bool WriteUninstallData(const core::String& associationsText);

// VersionMajor and VersionMinor of a version text; false when it holds no
// dot (neither is written then).
bool VersionNumbers(const char* version, i32* major, i32* minor);

}  // namespace kova::install
