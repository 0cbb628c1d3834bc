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

// One record, from the choice of its target to the status line. Returns 0
// or the corrupt code of the writer.
i32 InstallRecord(LoopState& state, const format::FileRecord& record) {
  const InstallFilesInput& input = state.input;
  InstallFilesOutput& output = state.output;
  core::String& errorText = ErrorText();
  const u32 type = record.type;
  const u32 flags = record.flags;
  const bool permanent = (flags & format::kFilePermanent) != 0;
  const bool recordOneByOne = !(input.options & format::kFlagRemoveInstallDir) && !permanent;

  const core::String* folder = &input.installDir;
  if (type == format::kFileTypeShared) folder = &input.sharedDir;
  else if (type == format::kFileTypeFont) folder = &state.fontDir;
  else if (type == format::kFileTypeSystem) folder = &state.systemDir;
  // Joined to an empty folder a name would land in the current directory,
  // wherever that is; such a file is not installed. (SharedDir is empty
  // when the installation is not recorded for uninstalling.)
  if (folder->IsEmpty()) {
    errorText.AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotInstall).CStr(), record.name.CStr());
    return 0;
  }
  core::String target = core::JoinPath(folder->CStr(), record.name.CStr());
  if (type == format::kFileTypeShared || type == format::kFileTypeSystem)
    output.sharedFileList.Append(type == format::kFileTypeSystem || permanent ? target + " " : target);
  bool installDirFile = IsInstallDirType(type);
  if (flags & format::kFileInUninstallDir) {
    target = core::JoinPath(state.uninstallFolder.CStr(), record.name.CStr());
    installDirFile = false;
  }

  switch (flags & format::kFileExistingMask) {
    case format::kFileNeverInstall:
      return 0;
    case format::kFileOnlyIfExists:
      if (!FileExists(target.CStr())) return 0;
      break;
    case format::kFileOnlyIfMissing:
      if (FileExists(target.CStr())) {
        if (!permanent && IsInstallDirType(type)) system::AddUninstallEntry(target.CStr(), system::kUninstallFile);
        return 0;
      }
      break;
    default:
      break;
  }

  if (!ShouldInstall(type, target.CStr(), record.stamp, record.text1.CStr(), LogText())) return 0;
  if ((type == format::kFileTypeInstallDir && (flags & (format::kFileDesktopShortcut | format::kFileProgramsShortcut))) ||
      type == format::kFileTypeStartup)
    AddShortcutEntry(state, record, target);

  // A shared, font or system file in use is written beside the installation
  // and put in place at the next restart.
  core::String occupied;
  if (!IsInstallDirType(type) && FileExists(target.CStr()) && !CanOpenForWriting(target.CStr())) {
    core::String temporary = MakeTempFile(input.installDir.CStr());
    if (temporary.IsEmpty()) {
      errorText.AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotInstall).CStr(), target.CStr());
      return 0;
    }
    occupied = target;
    target = ShortPath(temporary.CStr());
  }

  if (installDirFile) {
    core::String directory = core::DirectoryOf(target.CStr());
    // Equal without regard to case, and to a trailing backslash of InstallDir.
    if (!PathsEqual(directory.CStr(), input.installDir.CStr())) {
      if (!CreateDirectoryPath(directory.CStr()))
        errorText.AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotCreateFolder).CStr(), directory.CStr());
      if (recordOneByOne) system::AddUninstallEntry(directory.CStr(), system::kUninstallDirectory);
    }
  }
  if (IsInstallDirType(type) && recordOneByOne) system::AddUninstallEntry(target.CStr(), system::kUninstallFile);

  WriteResult written = WriteInstalledFile(target.CStr(), record.data, record.size, record.stamp, input.options, errorText);
  if (written == WriteResult::kNegativeSize) return format::kCorruptNegativeWrite;
  if (written == WriteResult::kFailed) return 0;
  ++output.filesWritten;

  if (type == format::kFileTypeFont) {
    if (platform::AddFontFile(record.name.CStr()) == 0) {
      errorText.AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotInstall).CStr(), target.CStr());
      return 0;
    }
    if (!permanent) {
      AppendQuoted(output.productFonts, record.text1);
      output.productFonts += ' ';
      AppendQuoted(output.productFonts, record.name);
      output.productFonts += ' ';
    }
    output.fontsChanged = true;
  }

  if (!occupied.IsEmpty()) {
    payload::AddProductFlags(format::kFlagRestartPending);
    output.restartNeeded = true;
    if (!ReplaceAtRestart(state.replacer, target.CStr(), occupied.CStr(), errorText)) return 0;
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
  core::ByteBuffer stream;
  if (i32 code = LoadFileStream(input.stream, stream)) return code;

  ui::StartStep();
  LoopState state{input, output, core::String(), input.systemDir, input.fontDir, MakeRestartReplacer()};
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
