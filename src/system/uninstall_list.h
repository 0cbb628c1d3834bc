// The uninstall list: what the uninstaller is to remove, recorded while the
// installation runs. One process-wide text of CR LF lines, written as the
// first section of Uninstall.DAT, plus the set of directories and keys
// already recorded. A line's first character says what it is:
//   '~'  a directory: removed when empty, then its empty parents up to the
//        installation directory
//   '!'  a key below HKEY_CLASSES_ROOT: deleted with all its subkeys
//   else the full path of a file to delete
#pragma once

#include "core/string.h"

namespace kova::system {

enum UninstallEntryKind : i32 {
  kUninstallFile = 0,
  kUninstallDirectory = 1,  // '~'
  kUninstallClassesKey = 2,  // '!'
};

// Appends path as an entry of kind. Ignored: a null path, one of three
// characters or fewer (drive roots such as C:\), and one holding CR or LF
// (it would turn into lines of its own). Directories and keys are recorded
// once, compared without regard to ASCII case, in the spelling of the first
// call; files are recorded every time.
void AddUninstallEntry(const char* path, i32 kind);
void ClearUninstallList();
const core::String& UninstallListText();

}  // namespace kova::system
