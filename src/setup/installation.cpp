// The installation proper, after the archive has been read: language,
// title, the choices before copying, the batches, the file loop with its
// progress, the PATH line, the log, and the end. The interactive checks, the
// shortcuts and associations, the uninstall registration and the restart
// are separate steps that slot in where this sequence names them.
#include "core/string.h"
#include "install/directories.h"
#include "install/file_stream.h"
#include "payload/folders.h"
#include "install/install_files.h"
#include "install/install_log.h"
#include "install/install_texts.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "install/file_source.h"
#include "setup/installer_run.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "install/batch.h"
#include "install/path_line.h"
#include "ui/progress.h"

namespace kova::setup {
namespace {

// Step 11 as far as a silent installation needs it: the directory is the one
// of the command line or the default, and it is made with its parents.
void ChooseInstallDirectory() {
  payload::InstallFolders& folders = payload::Folders();
  if (folders.installDir.IsEmpty()) folders.installDir = folders.defaultDir;
  if (!install::CreateDirectoryPath(folders.installDir.CStr()))
    install::ErrorText().AppendFormat("%s %s\r\n", payload::GetMessage(25).CStr(), folders.installDir.CStr());
}

void RunFileLoop(InstallerRun& run) {
  payload::InstallFolders& folders = payload::Folders();
  install::FileSource source(run.file);
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

  // Step 9: with one language or in automatic mode the first is taken; the
  // language dialog comes with the dialogs.
  payload::SetLanguageIndex(0);
  // Step 10 (the title, message 0, repainted in the setup window) comes with
  // the setup window.

  // Step 11: the operating system, master product, earlier installation,
  // welcome, licence and read-me pages and the directory questions come with
  // the interactive flow; a silent installation takes the directory as given.
  ChooseInstallDirectory();

  // Step 12.
  install::RunBatch(folders.installDir.CStr(), script.preInstallBatch.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePreBatch) != 0);

  // Step 13.
  ui::OpenProgress();
  RunFileLoop(run);

  // Step 14: shortcuts, associations, fonts and registry entries come with
  // the system integration; then the PATH line.
  if (payload::ProductFlags() & format::kFlagAddPath) {
    core::String failure = install::ModifyPath(true);
    if (!failure.IsEmpty()) install::ErrorText() += failure;
  }
  ui::SetPosition(95);
  ui::WaitStep(700);

  // Step 15: the uninstall registration comes with the uninstall data.
  ui::WaitStep(700);
  ui::SetPhaseAndPosition(36, 100);

  // Step 16.
  install::RunBatch(folders.installDir.CStr(), script.postInstallBatch1.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePostBatch1) != 0);
  ui::WaitStep(700);
  ui::CloseProgress();
  install::WriteInstallLog(install::LogText(), run.reinstall, install::ErrorText(), true,
                           script.versionText.CStr());

  // Step 17: the restart question comes with the restart; then the second
  // post-installation batch.
  install::RunBatch(folders.installDir.CStr(), script.postInstallBatch2.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePostBatch2) != 0);

  // Step 18.
  // Either is removed only when empty; drive roots never.
  install::RemoveDirectory(folders.sharedDir.CStr());
  install::RemoveDirectory(folders.installDir.CStr());

  // Step 19.
  payload::ExitInstaller();
}

}  // namespace kova::setup
