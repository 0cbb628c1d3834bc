// Batch scripts of the install script: plain command text the author wrote,
// run through the command interpreter as a generated KOVABAT.BAT that first
// sets an environment variable for each of the installer's well-known folders
// (InstallDir, SystemDir, BootDrive, ...), so the author's commands can use
// them. Five batches exist: one before the files are copied, two after the
// installation and two run by the uninstaller; each caller passes its
// directory and whether its window is hidden.
//
// Where no interpreter of this kind exists (the POSIX sandbox, unless
// %comspec% names a program there) the file is still written as on Windows
// and the run is skipped, as a failed start is on Windows.
#pragma once

#include "core/string.h"

namespace kova::install {

inline constexpr const char* kBatchFileName = "KOVABAT.BAT";

// The values of the SET lines, apart from the batch's own directory.
struct BatchFolders {
  core::String sharedDir;      // SharedDir (may be empty)
  core::String installerPath;  // InstallerFilepath
  core::String installerDir;   // InstallerDir
  core::String installerName;  // InstallerFilename
  char installerDrive = '\0';  // InstallerDrive (NUL: the installer has no drive letter)
  core::String systemDir;
  core::String deviceDir;
  core::String mediaDir;
  core::String favoritesDir;
  core::String fontDir;
  core::String desktopDir;
  core::String documentDir;
  core::String programsDir;
  core::String startMenuDir;
  core::String smProgramsDir;
  core::String startupDir;
  char bootDrive = 'C';
};

// The folders of this machine and installation now: the shared directory of
// payload::Folders(), the system paths and the folder lookups.
BatchFolders CurrentBatchFolders();

// The whole batch file, every line break CR LF: "@echo off", the SET lines
// (InstallDir and InstallDrive only for a non-empty directory), then the
// batch text. dropPause (hidden or automatic runs, where nobody could press a
// key) leaves out every line that is PAUSE, with or without a leading @ and
// blanks around it. A drive letter that does not exist (a network path)
// gives an empty value ("SET InstallDrive="), never a NUL in the file.
core::String BatchFileText(const char* directory, const char* batchText, bool dropPause,
                           const BatchFolders& folders);

// Every line break as CR LF: a lone LF or CR and the pair LF CR become
// CR LF; CR LF stays.
core::String NormalizeLineBreaks(const char* text);

// Runs batchText (nothing for a blank one) from directory: writes
// directory\KOVABAT.BAT (the bare name in the current directory for an empty
// directory), runs "<interpreter> /e:4096 /c "<file>"" there, waits while
// keeping the windows alive, then deletes the file. hidden hides the
// interpreter's window and drops PAUSE lines; automatic mode drops them too.
// Failures (the file cannot be written, the interpreter does not start) are
// silent, and the batch's exit code is not looked at.
void RunBatch(const char* directory, const char* batchText, bool hidden);

}  // namespace kova::install
