// Batch scripts; see batch.h.
#include "install/batch.h"

#include "core/paths.h"
#include "install/file_operations.h"
#include "install/processes.h"
#include "install/system_folders.h"
#include "install/whole_file.h"
#include "payload/command_line.h"
#include "payload/folders.h"
#include "payload/system_paths.h"

namespace kova::install {
namespace {

// "SET name=X:" for a drive letter; an empty value when there is none, so no
// NUL character ever reaches the file.
void AppendDriveLine(core::String& text, const char* name, char drive) {
  if (drive)
    text.AppendFormat("SET %s=%c:\n", name, drive);
  else
    text.AppendFormat("SET %s=\n", name);
}

void AppendSetLine(core::String& text, const char* name, const core::String& value) {
  text.AppendFormat("SET %s=", name);
  text += value;
  text += '\n';
}

// A line nobody could answer in a hidden or automatic run: PAUSE alone,
// perhaps behind @ and blanks. "PAUSE > NUL" and the like stay.
bool IsPauseLine(const core::String& line) {
  core::String copy(line);
  copy.Trim();
  if (copy[0] == '@') copy.Erase(0, 1);
  copy.TrimLeft();
  return copy.EqualsNoCase("PAUSE");
}

}  // namespace

BatchFolders CurrentBatchFolders() {
  const payload::SystemPaths& paths = payload::GetSystemPaths();
  BatchFolders folders;
  folders.sharedDir = payload::Folders().sharedDir;
  folders.installerPath = paths.installerPath;
  folders.installerDir = paths.installerDir;
  folders.installerName = paths.installerName;
  folders.installerDrive = paths.installerDrive;
  folders.systemDir = install::SystemDir();
  folders.deviceDir = install::DeviceDir();
  folders.mediaDir = install::MediaDir();
  folders.favoritesDir = install::FavoritesDir();
  folders.fontDir = install::FontDir();
  folders.desktopDir = install::DesktopDir();
  folders.documentDir = install::DocumentDir();
  folders.programsDir = install::ProgramsDir();
  folders.startMenuDir = install::StartMenuDir();
  folders.smProgramsDir = install::SMProgramsDir();
  folders.startupDir = install::StartupDir();
  folders.bootDrive = install::BootDrive();
  return folders;
}

core::String NormalizeLineBreaks(const char* text) {
  core::String result;
  if (!text) return result;
  for (const char* p = text; *p; ++p) {
    if (*p == '\r' || *p == '\n') {
      // A pair of different break characters is one break, either way round.
      if ((p[1] == '\r' || p[1] == '\n') && p[1] != *p) ++p;
      result.Append("\r\n", 2);
    } else {
      // Copy the run up to the next break in one piece.
      const char* end = p;
      while (end[1] && end[1] != '\r' && end[1] != '\n') ++end;
      result.Append(p, static_cast<i32>(end - p + 1));
      p = end;
    }
  }
  return result;
}

core::String BatchFileText(const char* directory, const char* batchText, bool dropPause,
                           const BatchFolders& folders) {
  core::String text("@echo off\n");
  if (directory && *directory) {
    AppendSetLine(text, "InstallDir", directory);
    AppendDriveLine(text, "InstallDrive", core::DriveLetterOf(directory));
  }
  AppendSetLine(text, "SharedDir", folders.sharedDir);
  AppendSetLine(text, "InstallerFilepath", folders.installerPath);
  AppendSetLine(text, "InstallerDir", folders.installerDir);
  AppendSetLine(text, "InstallerFilename", folders.installerName);
  AppendDriveLine(text, "InstallerDrive", folders.installerDrive);
  AppendSetLine(text, "SystemDir", folders.systemDir);
  AppendSetLine(text, "DeviceDir", folders.deviceDir);
  AppendSetLine(text, "MediaDir", folders.mediaDir);
  AppendSetLine(text, "FavoritesDir", folders.favoritesDir);
  AppendSetLine(text, "FontDir", folders.fontDir);
  AppendSetLine(text, "DesktopDir", folders.desktopDir);
  AppendSetLine(text, "DocumentDir", folders.documentDir);
  AppendSetLine(text, "ProgramsDir", folders.programsDir);
  AppendSetLine(text, "StartMenuDir", folders.startMenuDir);
  AppendSetLine(text, "SMProgramsDir", folders.smProgramsDir);
  AppendSetLine(text, "StartupDir", folders.startupDir);
  AppendDriveLine(text, "BootDrive", folders.bootDrive);

  if (!dropPause) {
    text += batchText;
  } else {
    core::String rest(batchText);
    while (!rest.IsEmpty()) {
      core::String line = rest.TakeLine();
      if (IsPauseLine(line)) continue;
      text += line;
      text += '\n';
    }
  }
  return NormalizeLineBreaks(text.CStr());
}

void RunBatch(const char* directory, const char* batchText, bool hidden) {
  if (core::IsBlankText(batchText)) return;
  if (!directory) directory = "";
  bool dropPause = hidden || payload::IsAutomaticMode();
  core::String text = BatchFileText(directory, batchText, dropPause, CurrentBatchFolders());
  core::String batchPath = core::JoinPath(directory, kBatchFileName);
  if (!install::WriteWholeFile(batchPath.CStr(), text.CStr(), text.Length())) {
    // A file cut short must not stay behind to be run by anyone.
    install::DeleteFile(batchPath.CStr());
    return;
  }
  // /e:4096 asks the interpreter for an environment of 4,096 bytes, room
  // for the SET lines. On POSIX the interpreter is started only when it is
  // an executable host program; the batch file itself never is one (files
  // the sandbox writes carry no execute permission).
  core::String commandLine = core::Formatted(
      "%s /e:4096 /c \"%s\"", payload::GetSystemPaths().commandInterpreter.CStr(), batchPath.CStr());
  u32 options = install::kRunWait | install::kRunPumpMessages | (hidden ? install::kRunHidden : 0u);
  install::RunProcess(commandLine.CStr(), options, directory);
  install::DeleteFile(batchPath.CStr());
}

}  // namespace kova::install
