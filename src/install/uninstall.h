// The uninstaller: started with /u:"name", it undoes the installation that
// registered itself under that name, in a fixed order (batch 1,
// associations, fonts, files and folders, the Start-menu folder, shared
// files, the product's keys, optionally the whole installation folder) and,
// only when nothing went wrong, removes the PATH line, runs batch 2 and
// deletes the Uninstall key.
//
// Uninstall.DAT lies in a folder the user can write, so what it names is
// checked before anything is removed: files only inside the folders an
// installation writes to, folders only below the installation or shared
// folder, HKEY_CLASSES_ROOT keys never the shell's own.
#pragma once

#include "core/string.h"

namespace kova::install {

enum class UninstallResult {
  kStopped,    // not installed, unreadable, or the user said No: nothing changed
  kFailed,     // something could not be removed: the key and the data stay for another run
  kCompleted,  // everything is gone but the uninstaller and its folders
};

// Runs the uninstallation of payload::Folders().productName.
UninstallResult Uninstall();

// The batch that deletes the uninstaller once it has ended, retrying for
// about a minute, then removes the uninstall and installation folders when
// they are empty, then itself.
core::String SelfDeleteBatch(const char* program, const char* uninstallFolder, const char* installFolder,
                             const char* batchPath);

// Writes that batch under a name of its own in the temporary folder and
// starts it, minimised, without waiting.
void SelfDelete();

// The lines of Uninstall.DAT that may be acted on: a file inside one of the
// folders an installation writes to, a folder below the installation or
// shared folder, a key below HKEY_CLASSES_ROOT that is not the shell's own.
bool IsRemovableFile(const char* path);
bool IsRemovableFolder(const char* path);
bool IsRemovableClassKey(const char* key);

}  // namespace kova::install
