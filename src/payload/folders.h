// The installation folders and names shared by the start-up flow, the file
// loop and the uninstall registration. Process-wide: set from the command line
// and the install script, read everywhere after.
#pragma once

#include "core/string.h"

namespace kova::payload {

struct InstallFolders {
  core::String installDir;        // InstallDir: the installation directory finally chosen
  core::String sharedDir;         // SharedDir: files shared between products
  core::String productName;       // /n: or /u:, else the install script's product name
  core::String publisher;         // Publisher
  core::String productStartMenu;  // ProductStartMenu: the product's Start-menu folder
  core::String uninstallSubdir;   // UninstallSubdir: the uninstall folder below InstallDir (empty: InstallDir itself)
  core::String defaultDir;        // the default installation directory, expanded
};

InstallFolders& Folders();

}  // namespace kova::payload
