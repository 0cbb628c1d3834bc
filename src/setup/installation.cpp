// The installation proper, after the archive has been read: language,
// title, the choices before copying, the batches, the file loop with its
// progress, the PATH line, the log, and the end. The interactive checks, the
// shortcuts and associations, the uninstall registration and the restart
// are separate steps that slot in where this sequence names them.
#include "core/string.h"
#include "install/batch.h"
#include "install/directories.h"
#include "install/file_source.h"
#include "install/file_stream.h"
#include "install/install_files.h"
#include "install/install_log.h"
#include "install/install_texts.h"
#include "install/path_line.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "setup/installer_run.h"
#include "ui/progress.h"

namespace kova::setup {
namespace {

// The installation directory as far as a silent installation needs it: the
// one of the command line or the default, made with its parents. (The
// interactive checks and questions come with the setup dialogs.)
void ChooseInstallDirectory() {
  payload::InstallFolders& folders = payload::Folders();
  if (folders.installDir.IsEmpty()) folders.installDir = folders.defaultDir;
  if (!install::CreateDirectoryPath(folders.installDir.CStr()))
    install::ErrorText().AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotCreateFolder).CStr(), folders.installDir.CStr());
}

void RunFileLoop(InstallerRun& run) {
  payload::InstallFolders& folders = payload::Folders();
  install::FileSource source(run.file);
  // The installer opened is the running program (the command line may name
  // another file): its archive section is in memory already.
  if (run.file.Name() == payload::GetSystemPaths().installerPath) source.IsProgramImage(run.archive.layout);
  install::InstallFilesInput input;
  input.stream = install::FileStreamInputOf(source, run.archive, run.script.volumeBaseName.CStr(),
                                            run.script.firstSequenceNumber, payload::ProductFlags());
  input.fileSizes = &run.archive.header.fileSizes;
  input.installDir = folders.installDir;
  input.sharedDir = folders.sharedDir;
  input.uninstallSubdir = folders.uninstallSubdir;
  input.options = payload::ProductFlags();
  input.reinstall = run.reinstall;
  install::InstallFilesOutput output;
  install::InstallFiles(input, output);
}

}  // namespace

void RunInstallation(InstallerRun& run) {
  const format::InstallScript& script = run.script;
  payload::InstallFolders& folders = payload::Folders();

  // The language: with one language or in automatic mode the first is
  // taken (the language dialog comes with the dialogs), then the title is
  // repainted in the setup window (with the setup window).
  payload::SetLanguageIndex(0);

  // The checks and choices before copying: operating system, master product,
  // earlier installation, welcome, licence and read-me pages come with the
  // interactive flow; a silent installation takes the directory as given.
  ChooseInstallDirectory();

  // The pre-installation batch, then the files under the progress dialog.
  install::RunBatch(folders.installDir.CStr(), script.preInstallBatch.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePreBatch) != 0);

  ui::OpenProgress();
  RunFileLoop(run);

  // Shortcuts, associations and registry entries (with the system
  // integration), then the PATH line.
  if (payload::ProductFlags() & format::kFlagAddPath) {
    core::String failure = install::ModifyPath(true);
    if (!failure.IsEmpty()) install::ErrorText() += failure;
  }
  ui::SetPosition(95);
  ui::WaitStep(700);

  // The uninstall registration comes here with the uninstall data.
  ui::WaitStep(700);
  ui::SetPhaseAndPosition(payload::kMsgPhaseFinishing, 100);

  // The first post-installation batch, then the log.
  install::RunBatch(folders.installDir.CStr(), script.postInstallBatch1.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePostBatch1) != 0);
  ui::WaitStep(700);
  ui::CloseProgress();
  install::WriteInstallLog(install::LogText(), run.reinstall, install::ErrorText(), true,
                           script.versionText.CStr());

  // The restart question (with the restart), then the second
  // post-installation batch.
  install::RunBatch(folders.installDir.CStr(), script.postInstallBatch2.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePostBatch2) != 0);

  // The shared and installation directories are removed when they stayed
  // empty; drive roots never.
  install::RemoveDirectory(folders.sharedDir.CStr());
  install::RemoveDirectory(folders.installDir.CStr());

  payload::ExitInstaller();
}

}  // namespace kova::setup
