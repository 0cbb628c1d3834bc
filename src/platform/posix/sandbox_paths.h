// Windows paths inside the sandbox. Every file operation of the POSIX
// platform takes a Windows path and goes through ResolvePath, which decides
// where on the host it lives:
//
// - "X:\..." lives under <root>/drive_x/ (one folder per drive letter; a
//   drive exists when its folder does; drive C, the Windows directory with
//   SYSTEM, SYSTEM32 and Fonts, and the temporary folder TEMP on the Windows
//   directory's drive are made on first use), except Z:, which
//   is the host's "/", so programs outside the root can be reached.
// - Relative ("a\b"), rooted ("\a") and drive-relative ("C:a") paths start
//   from the process's current directory, kept here in Windows form.
// - "/" is taken as "\", repeated separators count once, "." is dropped, ".."
//   goes up one folder but never above the drive root (so no path escapes its
//   drive folder), and trailing dots and spaces of the last name go, as on
//   Windows.
// - Each name is looked up without regard to the case of ASCII letters: an
//   exact match first, then any entry of the folder that differs only in case,
//   then an entry whose 8.3 alias (ShortNameOf) it is. New names keep the case
//   they are given. Folders resolved before and folder listings are
//   remembered for the run (folder_cache.h), so a path costs one stat of its
//   folder and one lstat of its name, and a folder is listed once, not once
//   for each new name.
// - Network paths (\\server\share) do not exist in the sandbox.
#pragma once

#include "core/array.h"
#include "core/string.h"

namespace kova::platform::posix {

struct SandboxPath {
  char drive = '\0';
  core::Array<core::String> names;  // below the drive root, as given
  core::String windows;             // full Windows form, "C:\a\b"
  core::String host;                // host path, existing names in their stored case
  core::String hostParent;          // host folder that holds the last name
  core::String name;                // last name: as stored when it exists, else as given
  bool exists = false;              // the whole path exists (links followed)
  bool isDirectory = false;
  bool readOnly = false;            // an existing file without write permission
  bool isRoot = false;              // a drive root
};

// Let the last name hold the wildcards * and ? (for file specifications).
inline constexpr u32 kResolveWildcards = 0x1;

// Maps a Windows path into the sandbox. Fails (last error set) for a bad name
// (kErrorInvalidName), a missing drive or folder on the way
// (kErrorPathNotFound) or a network path (kErrorBadNetPath). A missing last
// name is no failure: exists is false.
bool ResolvePath(const char* path, SandboxPath* out, u32 options = 0);

// The host folder of a drive root; Z: is "/".
core::String DriveHostRoot(char drive);
// The Windows form of a host path: under a drive folder of the root it is on
// that drive, anything else is on Z:.
core::String WindowsPathOfHost(const char* hostPath);

// The process's current directory in Windows form (initially the host's,
// through WindowsPathOfHost).
core::String CurrentWindowsDirectory();
void SetCurrentWindowsDirectory(const core::String& windowsPath);

// 8.3 names. A name that is already a valid 8.3 name is its own alias; a long
// name gets up to 4 characters of its name, "~", 3 characters of a hash of
// the whole name, and up to 3 characters of its extension, in upper case. The
// hash keeps aliases stable however the folder changes.
bool IsShortName(const char* name);
core::String ShortNameOf(const char* name);

bool EqualNoCase(const char* a, const char* b);

// Creates the sandbox root, drive C, the Windows directory tree and the
// temporary folder when the root (or the Windows directory) changed since
// the last call.
void PrepareSandbox();

// The temporary folder, "X:\TEMP" on the Windows directory's drive: outside
// the Windows directory, as on Windows NT, so that what is made there can be
// deleted as a tree.
core::String TempFolder();

}  // namespace kova::platform::posix
