// Install variables (%InstallDir%, %SystemDir%, ...): the placeholders of
// script paths that stand for the folders of the machine the installer runs
// on, and the defaults of the directory names of the install script. Names
// match without regard to ASCII case.
//
// Two expansions exist. The default-directory expansion runs once, on the
// default installation directory as the install script gives it, and knows
// every folder except the installation directory itself (not chosen yet).
// ExpandInstallVariables runs later, on shortcut arguments and association
// commands, and knows six variables, the installation directory among them.
#pragma once

#include "core/string.h"

namespace kova::install {

// The directory names the install script supplies, as stored.
struct DirectoryTexts {
  const char* publisher = nullptr;
  const char* productName = nullptr;  // taken only when no product name is set yet (/n:, /u:)
  const char* sharedDir = nullptr;
  const char* productStartMenu = nullptr;
  const char* defaultDir = nullptr;
};

// Sets payload::Folders() from the script's texts with their defaults: the shared
// directory becomes the publisher (or the product name when the publisher is
// blank); when the installation is recorded for uninstalling
// (uninstallSupport, ProductFlags 0x4) it is made absolute below the common
// files folder and created with its parents (a failure is left for the
// file loop to meet), otherwise cleared; the start-menu folder becomes
// "publisher\product" (or the product name); the default directory goes
// through the default-directory expansion.
void ApplyDirectoryDefaults(const DirectoryTexts& texts, bool uninstallSupport);

// The default-directory expansion: empty gives the product name; otherwise
// "<os>", %WinDir%, %SharedDir%, %InstallerDir%, %InstallerDrive% (the letter
// alone), %SystemDir%, %DeviceDir%, %MediaDir%, %FavoritesDir%, %FontDir%,
// %DesktopDir%, %DocumentDir%, %ProgramsDir%, %StartMenuDir%,
// %SMProgramsDir%, %StartupDir% and %BootDrive% (the letter alone) are
// replaced in that order. Then, unless the text is "<master>" (the directory
// of an installed master product, resolved later), it is made absolute below
// the program-files folder.
core::String ExpandDefaultDirectory(const char* text);

// Replaces, in place and in this order, %InstallDir%, %InstallDrive% (the
// letter alone), %SharedDir%, %SystemDir%, %BootDrive% (letter and colon,
// "C:") and %ProgramsDir%. Other variables stay as written.
void ExpandInstallVariables(core::String& text);

}  // namespace kova::install
