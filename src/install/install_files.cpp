// The file loop; see install_files.h.
#include "install/install_files.h"

#include "core/paths.h"
#include "format/archive_open.h"
#include "format/file_record.h"
#include "format/install_script.h"
#include "install/directories.h"
#include "install/file_operations.h"
#include "install/install_texts.h"
#include "install/installed_file_writer.h"
#include "install/path_text.h"
#include "install/replacement_rules.h"
#include "install/restart_replacement.h"
#include "install/shared_files.h"
#include "install/shortcut_entries.h"
#include "install/system_folders.h"
#include "install/temp_files.h"
#include "payload/fatal.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "platform/fonts.h"
#include "system/uninstall_list.h"
#include "ui/progress.h"

namespace kova::install {
namespace {

// What the loop keeps between records.
struct LoopState {
  const InstallFilesInput& input;
  InstallFilesOutput& output;
  core::String uninstallFolder;
  core::String systemDir;
  core::String fontDir;
  RestartReplacer replacer;
  core::String folderMade;  // the folder of the last file written below InstallDir
};

bool IsInstallDirType(u32 type) { return type == format::kFileTypeInstallDir || type == format::kFileTypeStartup; }

// Appends text to out in double quotes, a quote inside doubled so that the
// uninstaller's TakeQuoted gives the text back as it was.
void AppendQuoted(core::String& out, const core::String& text) {
  out += '"';
  for (i32 i = 0; i < text.Length(); ++i) {
    if (text[i] == '"') out += '"';
    out += text[i];
  }
  out += '"';
}

void AddShortcutEntry(const LoopState& state, const format::FileRecord& record, const core::String& target) {
  ShortcutEntry entry;
  entry.desktop = (record.flags & format::kFileDesktopShortcut) != 0;
  entry.programsMenu = (record.flags & format::kFileProgramsShortcut) != 0;
  entry.startup = record.type == format::kFileTypeStartup;
  entry.permanent = (record.flags & format::kFilePermanent) != 0;
  entry.target = target;
  if (!record.text1.IsEmpty()) {
    entry.name = record.text1;
  } else {
    core::String fileName = core::FileNameOf(target.CStr());
    entry.name = payload::FormatMessageText(payload::GetMessage(payload::kMsgDefaultShortcut).CStr(), {fileName});
  }
  if (!core::IsBlankText(record.text2.CStr())) entry.iconPath = core::JoinPath(state.uninstallFolder.CStr(), record.text2.CStr());
  entry.arguments = record.text3;
  ShortcutEntries().Append(static_cast<ShortcutEntry&&>(entry));
}

// The target of a record: its type's folder (or the uninstall folder) joined
// with its name; a shared or system file also goes on the shared-file list.
// False, with the failure line, when the type's folder is empty: joined to
// it the name would land in the current directory, wherever that is.
// (SharedDir is empty when the installation is not recorded for
// uninstalling.) installDirFile: the file belongs below InstallDir.
bool ChooseTarget(LoopState& state, const format::FileRecord& record, core::String& target, bool& installDirFile) {
  const InstallFilesInput& input = state.input;
  const core::String* folder = &input.installDir;
  if (record.type == format::kFileTypeShared) folder = &input.sharedDir;
  else if (record.type == format::kFileTypeFont) folder = &state.fontDir;
  else if (record.type == format::kFileTypeSystem) folder = &state.systemDir;
  if (folder->IsEmpty()) {
    AddCannotInstall(record.name.CStr());
    return false;
  }
  target = core::JoinPath(folder->CStr(), record.name.CStr());
  const bool permanent = (record.flags & format::kFilePermanent) != 0;
  if (record.type == format::kFileTypeShared || record.type == format::kFileTypeSystem)
    state.output.sharedFileList.Append(record.type == format::kFileTypeSystem || permanent ? target + " " : target);
  installDirFile = IsInstallDirType(record.type);
  if (record.flags & format::kFileInUninstallDir) {
    target = core::JoinPath(state.uninstallFolder.CStr(), record.name.CStr());
    installDirFile = false;
  }
  return true;
}

// The record's mode for an existing target: whether it is to be written at
// all. A file of the installation directory that is only written when
// missing, and exists, is still recorded for the uninstaller.
bool WantedByExistingMode(const format::FileRecord& record, const core::String& target) {
  switch (record.flags & format::kFileExistingMask) {
    case format::kFileNeverInstall:
      return false;
    case format::kFileOnlyIfExists:
      return FileExists(target.CStr());
    case format::kFileOnlyIfMissing:
      if (!FileExists(target.CStr())) return true;
      if (!(record.flags & format::kFilePermanent) && IsInstallDirType(record.type))
        system::AddUninstallEntry(target.CStr(), system::kUninstallFile);
      return false;
    default:
      return true;
  }
}

// A shared, font or system file in use is written beside the installation
// and put in place at the next restart: target becomes the temporary file
// and occupied the file in use. False, with the failure line, when no
// temporary file can be made.
bool MoveAsideIfInUse(const LoopState& state, u32 type, core::String& target, core::String& occupied) {
  if (IsInstallDirType(type) || !FileExists(target.CStr()) || CanOpenForWriting(target.CStr())) return true;
  core::String temporary = MakeTempFile(state.input.installDir.CStr());
  if (temporary.IsEmpty()) {
    AddCannotInstall(target.CStr());
    return false;
  }
  occupied = target;
  target = ShortPath(temporary.CStr());
  return true;
}

// The folder of a file below InstallDir, made with its parents and recorded
// for the uninstaller (InstallDir itself is neither).
void MakeTargetFolder(LoopState& state, const core::String& target, bool recordOneByOne) {
  core::String directory = core::DirectoryOf(target.CStr());
  // Equal without regard to case, and to a trailing backslash of InstallDir.
  if (PathsEqual(directory.CStr(), state.input.installDir.CStr())) return;
  // Files come folder by folder and the loop removes no folder, so the
  // folder of the file before is there still: it is not looked for again
  // (on Windows, two changes of the current directory per file).
  if (directory != state.folderMade) {
    state.folderMade.Clear();
    if (CreateDirectoryPath(directory.CStr()))
      state.folderMade = directory;
    else
      ErrorText().AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotCreateFolder).CStr(),
                               directory.CStr());
  }
  if (recordOneByOne) system::AddUninstallEntry(directory.CStr(), system::kUninstallDirectory);
}

// Registers a written font; a font that is not permanent goes on the
// product's font list for the uninstaller. False, with the failure line,
// when the system refuses it.
bool RegisterFont(InstallFilesOutput& output, const format::FileRecord& record, const core::String& target) {
  if (platform::AddFontFile(record.name.CStr()) == 0) {
    AddCannotInstall(target.CStr());
    return false;
  }
  if (!(record.flags & format::kFilePermanent)) {
    AppendQuoted(output.productFonts, record.text1);
    output.productFonts += ' ';
    AppendQuoted(output.productFonts, record.name);
    output.productFonts += ' ';
  }
  output.fontsChanged = true;
  return true;
}

// One record, from the choice of its target to the status line. Returns 0
// or the corrupt code of the writer.
i32 InstallRecord(LoopState& state, const format::FileRecord& record) {
  const InstallFilesInput& input = state.input;
  InstallFilesOutput& output = state.output;
  const u32 type = record.type;
  const bool permanent = (record.flags & format::kFilePermanent) != 0;
  const bool recordOneByOne = !(input.options & format::kFlagRemoveInstallDir) && !permanent;

  core::String target;
  bool installDirFile = false;
  if (!ChooseTarget(state, record, target, installDirFile)) return 0;
  if (!WantedByExistingMode(record, target)) return 0;
  if (!ShouldInstall(type, target.CStr(), record.stamp, record.text1.CStr(), LogText())) return 0;
  if ((type == format::kFileTypeInstallDir && (record.flags & (format::kFileDesktopShortcut | format::kFileProgramsShortcut))) ||
      type == format::kFileTypeStartup)
    AddShortcutEntry(state, record, target);

  core::String occupied;
  if (!MoveAsideIfInUse(state, type, target, occupied)) return 0;
  if (installDirFile) MakeTargetFolder(state, target, recordOneByOne);
  if (IsInstallDirType(type) && recordOneByOne) system::AddUninstallEntry(target.CStr(), system::kUninstallFile);

  WriteResult written = WriteInstalledFile(target.CStr(), record.data, record.size, record.stamp, input.options, ErrorText());
  if (written == WriteResult::kNegativeSize) return format::kCorruptNegativeWrite;
  if (written == WriteResult::kFailed) return 0;
  ++output.filesWritten;
  if (type == format::kFileTypeFont && !RegisterFont(output, record, target)) return 0;

  if (!occupied.IsEmpty()) {
    payload::AddProductFlags(format::kFlagRestartPending);
    output.restartNeeded = true;
    if (!ReplaceAtRestart(state.replacer, target.CStr(), occupied.CStr(), ErrorText())) return 0;
  }

  ui::SetStatus("%s -> %s", record.name.CStr(), target.CStr());
  if (input.options & format::kFlagLogEveryFile) LogText().AppendFormat("%s -> %s\r\n", record.name.CStr(), target.CStr());
  return 0;
}

}  // namespace

FileStreamInput FileStreamInputOf(format::ByteSource& programFile, const format::OpenedArchive& archive,
                                  const char* volumeBaseName, u32 firstSequenceNumber, u32 options) {
  FileStreamInput input;
  static_cast<format::FileStreamLayout&>(input) = format::FileStreamLayoutOf(archive, options, firstSequenceNumber);
  input.programFile = &programFile;
  input.volumeFolder = payload::GetSystemPaths().installerDir;
  input.volumeBaseName = volumeBaseName;
  return input;
}

i32 TryInstallFiles(const InstallFilesInput& input, InstallFilesOutput& output) {
  format::FileStreamBytes stream;
  if (i32 code = LoadFileStream(input.stream, stream)) return code;

  ui::StartStep();
  LoopState state{input, output, core::String(), input.systemDir, input.fontDir, MakeRestartReplacer(), core::String()};
  if (state.systemDir.IsEmpty()) state.systemDir = SystemDir();
  if (state.fontDir.IsEmpty()) state.fontDir = FontDir();
  state.uninstallFolder = core::JoinPath(input.installDir.CStr(), input.uninstallSubdir.CStr());
  if (!input.uninstallSubdir.IsEmpty()) CreateDirectoryPath(state.uninstallFolder.CStr());
  system::ClearUninstallList();
  output.sharedFileList.Clear();

  const i32 count = input.fileSizes ? input.fileSizes->Size() : 0;
  format::FileRecordReader reader(stream.Data(), stream.Size());
  for (i32 i = 0; i < count; ++i) {
    ui::SetPosition(static_cast<i32>(45 + static_cast<i64>(i) * 40 / count));
    format::FileRecord record;
    if (i32 code = reader.Next((*input.fileSizes)[i], record)) return code;
    payload::PumpMessages();
    if (i32 code = InstallRecord(state, record)) return code;
  }

  if (output.fontsChanged) platform::BroadcastFontChange();
  ui::SetPosition(87);
  if (input.options & format::kFlagUninstallSupport)
    output.sharedFiles = UpdateSharedFileCounts(output.sharedFileList, input.reinstall,
                                                input.previousSharedFiles.CStr(), ErrorText());
  ui::WaitStep(400);
  ui::SetPhaseAndPosition(payload::kMsgPhaseShortcuts, 90);
  return 0;
}

void InstallFiles(const InstallFilesInput& input, InstallFilesOutput& output) {
  if (i32 code = TryInstallFiles(input, output)) payload::CorruptArchive(code);
}

}  // namespace kova::install
