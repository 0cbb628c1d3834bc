// Install variables and the directory defaults; see install_variables.h.
#include "install/install_variables.h"

#include "core/paths.h"
#include "install/directories.h"
#include "install/system_folders.h"
#include "payload/folders.h"
#include "payload/system_paths.h"

namespace kova::install {
namespace {

using FolderLookup = core::String (*)();

// The text of a drive letter in a path: NUL (no drive) is nothing.
core::String DriveText(char letter, bool withColon) {
  core::String text;
  if (letter) {
    text += letter;
    if (withColon) text += ':';
  }
  return text;
}

core::String WindowsDir() { return payload::GetSystemPaths().windowsDir; }
core::String SharedDir() { return payload::Folders().sharedDir; }
core::String InstallerDir() { return payload::GetSystemPaths().installerDir; }
core::String InstallerDrive() { return DriveText(payload::GetSystemPaths().installerDrive, false); }
core::String BootDriveLetter() { return DriveText(BootDrive(), false); }
core::String BootDriveWithColon() { return DriveText(BootDrive(), true); }
core::String InstallDir() { return payload::Folders().installDir; }
core::String InstallDrive() { return DriveText(core::DriveLetterOf(payload::Folders().installDir.CStr()), false); }

struct Variable {
  const char* name;
  FolderLookup value;
};

// A lookup reads the registry, so it runs only for a variable that is there.
void Expand(core::String& text, const Variable* variables, int count) {
  for (int i = 0; i < count; ++i) {
    if (text.Find(variables[i].name, 0, core::kFindNoCase) < 0) continue;
    core::String value = variables[i].value();
    text.Replace(variables[i].name, value.CStr(), core::kFindNoCase);
  }
}

constexpr Variable kDefaultDirVariables[] = {
    {"<os>", WindowsDir},
    {"%WinDir%", WindowsDir},
    {"%SharedDir%", SharedDir},
    {"%InstallerDir%", InstallerDir},
    {"%InstallerDrive%", InstallerDrive},
    {"%SystemDir%", SystemDir},
    {"%DeviceDir%", DeviceDir},
    {"%MediaDir%", MediaDir},
    {"%FavoritesDir%", FavoritesDir},
    {"%FontDir%", FontDir},
    {"%DesktopDir%", DesktopDir},
    {"%DocumentDir%", DocumentDir},
    {"%ProgramsDir%", ProgramsDir},
    {"%StartMenuDir%", StartMenuDir},
    {"%SMProgramsDir%", SMProgramsDir},
    {"%StartupDir%", StartupDir},
    {"%BootDrive%", BootDriveLetter},
};

constexpr Variable kGeneralVariables[] = {
    {"%InstallDir%", InstallDir},   {"%InstallDrive%", InstallDrive}, {"%SharedDir%", SharedDir},
    {"%SystemDir%", SystemDir},     {"%BootDrive%", BootDriveWithColon}, {"%ProgramsDir%", ProgramsDir},
};

}  // namespace

core::String ExpandDefaultDirectory(const char* text) {
  core::String directory(text);
  if (directory.IsEmpty()) {
    directory = payload::Folders().productName;
  } else {
    Expand(directory, kDefaultDirVariables, sizeof kDefaultDirVariables / sizeof kDefaultDirVariables[0]);
  }
  if (!directory.EqualsNoCase("<master>")) core::MakeAbsolutePath(directory, ProgramsDir().CStr());
  return directory;
}

void ExpandInstallVariables(core::String& text) {
  Expand(text, kGeneralVariables, sizeof kGeneralVariables / sizeof kGeneralVariables[0]);
}

void ApplyDirectoryDefaults(const DirectoryTexts& texts, bool uninstallSupport) {
  payload::InstallFolders& folders = payload::Folders();
  folders.publisher = texts.publisher;
  if (folders.productName.IsEmpty()) folders.productName = texts.productName;

  folders.sharedDir = texts.sharedDir;
  if (folders.sharedDir.IsEmpty())
    folders.sharedDir = core::IsBlankText(folders.publisher.CStr()) ? folders.productName : folders.publisher;
  if (uninstallSupport) {
    core::MakeAbsolutePath(folders.sharedDir, CommonFilesDir().CStr());
    // A folder that cannot be made now fails later, where a file is written
    // into it and the failure is reported.
    CreateDirectoryPath(folders.sharedDir.CStr());
  } else {
    folders.sharedDir.Clear();
  }

  folders.productStartMenu = texts.productStartMenu;
  if (folders.productStartMenu.IsEmpty()) {
    folders.productStartMenu = folders.publisher;
    if (!folders.productStartMenu.IsEmpty()) folders.productStartMenu += '\\';
    folders.productStartMenu += folders.productName;
  }

  folders.defaultDir = ExpandDefaultDirectory(texts.defaultDir);
}

}  // namespace kova::install
