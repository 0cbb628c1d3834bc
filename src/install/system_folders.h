// The folders of the machine that install variables stand for: each read
// from its registry value at every call (never cached, so a change made
// during the installation is seen), with the fallback that applies when the
// value is missing or empty. Composed fallbacks use the other lookups with
// their own fallbacks: the Startup folder falls back below the Programs
// folder, which may itself fall back below the Start Menu folder.
#pragma once

#include "core/string.h"
#include "platform/registry.h"

namespace kova::install {

// The value name under "...\Explorer\Shell Folders" of HKEY_CURRENT_USER
// (allUsers: of HKEY_LOCAL_MACHINE); empty when missing.
core::String ReadShellFolder(const char* name, bool allUsers = false);
// The value name under HKEY_LOCAL_MACHINE, key
// "Software\Microsoft\Windows\CurrentVersion"; empty when missing.
core::String ReadWindowsSetting(const char* name);
// The drive letter of the "BootDir" setup value, upper case; 'C' when the
// value does not start with a letter and a colon.
char BootDrive();

core::String SystemDir();       // GetSystemDirectoryA
core::String ProgramsDir();     // ProgramFilesDir, else "c:\Program Files"
core::String CommonFilesDir();  // CommonFilesDir, else ProgramsDir\Common Files
core::String DeviceDir();       // DevicePath, else WindowsDir\INF
core::String MediaDir();        // MediaPath, else WindowsDir\Media
core::String FavoritesDir();    // shell folder Favorites, else WindowsDir\Favorites
core::String FontDir();         // shell folder Fonts, else WindowsDir\Fonts
core::String DesktopDir();      // shell folder Desktop, else WindowsDir\Desktop
core::String DocumentDir();     // shell folder Personal, else "c:\My Documents"
core::String StartMenuDir();    // shell folder Start Menu, else WindowsDir\Start Menu
core::String SMProgramsDir();   // shell folder Programs, else StartMenuDir\Programs
core::String StartupDir();      // shell folder Startup, else SMProgramsDir\StartUp

// Where the lookups read: userRoot and machineRoot stand for
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, currentVersion for
// "Software\Microsoft\Windows\CurrentVersion" below them. The tests point
// them at a throw-away key so the machine's own settings are never touched;
// ResetFolderKeys restores the real ones.
void SetFolderKeys(platform::RegistryKey userRoot, platform::RegistryKey machineRoot, const char* currentVersion);
void ResetFolderKeys();

}  // namespace kova::install
