// Folder lookups with their registry sources and fallbacks; see
// system_folders.h.
#include "install/system_folders.h"

#include "core/lasting.h"
#include "core/paths.h"
#include "payload/system_paths.h"
#include "platform/process.h"
#include "system/registry.h"

namespace kova::install {
namespace {

constexpr const char* kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

struct FolderKeys {
  platform::RegistryKey userRoot = platform::kCurrentUser;
  platform::RegistryKey machineRoot = platform::kLocalMachine;
  core::String currentVersion{kCurrentVersion};
};

FolderKeys& Keys() {
  static core::Lasting<FolderKeys> keys;
  return keys.Get();
}

// Reads key\name through the registry layer (which creates the key when it
// is missing, as the installer always has) and drops one trailing backslash
// from a folder longer than a drive root: "C:\" stays, "C:\Windows\" does not.
core::String ReadFolderValue(platform::RegistryKey root, const char* key, const char* name) {
  core::String path = Keys().currentVersion;
  if (*key) path += '\\';
  path += key;
  path += '\\';
  path += name;
  core::String value = system::ReadRegistryString(root, path.CStr(), "", 0);
  if (value.Length() > 3 && value[value.Length() - 1] == '\\') value.SetLength(value.Length() - 1);
  return value;
}

core::String OrFallback(core::String value, const core::String& fallback) {
  return value.IsEmpty() ? fallback : value;
}

core::String UnderWindows(const char* name) { return core::JoinPath(payload::GetSystemPaths().windowsDir.CStr(), name); }

}  // namespace

core::String ReadShellFolder(const char* name, bool allUsers) {
  return ReadFolderValue(allUsers ? Keys().machineRoot : Keys().userRoot, "Explorer\\Shell Folders", name);
}

core::String ReadWindowsSetting(const char* name) { return ReadFolderValue(Keys().machineRoot, "", name); }

char BootDrive() {
  core::String bootDir = ReadFolderValue(Keys().machineRoot, "Setup", "BootDir");
  char letter = bootDir[0];
  bool isLetter = (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
  if (!isLetter || bootDir[1] != ':') return 'C';
  return letter >= 'a' ? static_cast<char>(letter - 32) : letter;
}

core::String SystemDir() { return platform::SystemDirectory(); }

core::String ProgramsDir() { return OrFallback(ReadWindowsSetting("ProgramFilesDir"), "c:\\Program Files"); }

core::String CommonFilesDir() {
  core::String value = ReadWindowsSetting("CommonFilesDir");
  return value.IsEmpty() ? core::JoinPath(ProgramsDir().CStr(), "Common Files") : value;
}

core::String DeviceDir() { return OrFallback(ReadWindowsSetting("DevicePath"), UnderWindows("INF")); }

core::String MediaDir() { return OrFallback(ReadWindowsSetting("MediaPath"), UnderWindows("Media")); }

core::String FavoritesDir() { return OrFallback(ReadShellFolder("Favorites"), UnderWindows("Favorites")); }

core::String FontDir() { return OrFallback(ReadShellFolder("Fonts"), UnderWindows("Fonts")); }

core::String DesktopDir() { return OrFallback(ReadShellFolder("Desktop"), UnderWindows("Desktop")); }

core::String DocumentDir() { return OrFallback(ReadShellFolder("Personal"), "c:\\My Documents"); }

core::String StartMenuDir() { return OrFallback(ReadShellFolder("Start Menu"), UnderWindows("Start Menu")); }

core::String SMProgramsDir() {
  core::String value = ReadShellFolder("Programs");
  return value.IsEmpty() ? core::JoinPath(StartMenuDir().CStr(), "Programs") : value;
}

core::String StartupDir() {
  core::String value = ReadShellFolder("Startup");
  return value.IsEmpty() ? core::JoinPath(SMProgramsDir().CStr(), "StartUp") : value;
}

void SetFolderKeys(platform::RegistryKey userRoot, platform::RegistryKey machineRoot, const char* currentVersion) {
  Keys().userRoot = userRoot;
  Keys().machineRoot = machineRoot;
  Keys().currentVersion = currentVersion;
}

void ResetFolderKeys() { Keys() = FolderKeys(); }

}  // namespace kova::install
