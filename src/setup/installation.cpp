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
#include "install/integration.h"
#include "install/path_line.h"
#include "install/uninstall_registration.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/message_box.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "payload/window_handles.h"
#include "platform/restart.h"
#include "platform/window.h"
#include "setup/installer_run.h"
#include "setup/pre_install.h"
#include "ui/progress.h"

namespace kova::setup {
namespace {

void RunFileLoop(InstallerRun& run, const PreInstallChoices& choices) {
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
  input.reinstall = choices.reinstall;
  input.previousSharedFiles = choices.earlierSharedFiles;
  install::InstallFiles(input, run.files);
}

}  // namespace

void RunInstallation(InstallerRun& run) {
  const format::InstallScript& script = run.script;
  payload::InstallFolders& folders = payload::Folders();

  // The language, the title, the checks and the questions, up to the
  // installation directory; a refusal ends the program here.
  PreInstallInput preInstall;
  preInstall.script = &script;
  preInstall.scriptBytes = run.archive.script.Data();
  preInstall.scriptLength = static_cast<i32>(run.archive.script.Size());
  preInstall.fileSizes = &run.archive.header.fileSizes;
  PreInstallChoices choices;
  if (!RunPreInstall(preInstall, choices)) payload::ExitInstaller();
  run.reinstall = choices.reinstall;

  // The pre-installation batch, then the files under the progress dialog.
  install::RunBatch(folders.installDir.CStr(), script.preInstallBatch.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePreBatch) != 0);

  ui::OpenProgress();
  RunFileLoop(run, choices);

  // Shortcuts, (the uninstall shortcuts and background bitmap come here with
  // the uninstall registration), the product's keys, the associations, then
  // the PATH line.
  run.startMenuShortcut = install::CreateShortcuts();
  bool uninstallSupport = (payload::ProductFlags() & format::kFlagUninstallSupport) != 0;
  if (uninstallSupport) install::CreateUninstallShortcuts(script, run.startMenuShortcut);
  install::CreateProductKeys(script.productRegistry.CStr());
  install::RegisterAssociations(script.associations, run.associationsText);
  if (payload::ProductFlags() & format::kFlagAddPath) {
    core::String failure = install::ModifyPath(true);
    if (!failure.IsEmpty()) install::ErrorText() += failure;
  }
  ui::SetPosition(95);
  ui::WaitStep(700);

  // The uninstaller, its key and its data.
  if (uninstallSupport) {
    install::UninstallRegistration registration;
    registration.script = &script;
    registration.uninstallerImage = &run.uninstallerImage;
    registration.productFonts = run.files.productFonts;
    registration.sharedFiles = run.files.sharedFiles;
    registration.associationsText = run.associationsText;
    install::RegisterUninstaller(registration);
  }
  ui::WaitStep(700);
  ui::SetPhaseAndPosition(payload::kMsgPhaseFinishing, 100);

  // The first post-installation batch, then the log.
  install::RunBatch(folders.installDir.CStr(), script.postInstallBatch1.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePostBatch1) != 0);
  ui::WaitStep(700);
  ui::CloseProgress();
  install::WriteInstallLog(install::LogText(), run.reinstall, install::ErrorText(), true,
                           script.versionText.CStr());

  // The restart question: files wait for the restart (or the script wants
  // one); in automatic mode the restart needs no answer.
  bool restart = false;
  if (payload::ProductFlags() & format::kFlagRestartPending)
    restart = payload::IsAutomaticMode() ||
              payload::ShowBox(payload::SetupWindow(), payload::GetMessage(payload::kMsgRestartQuestion).CStr(),
                               payload::GetMessage(payload::kMsgQuestionCaption).CStr(),
                               platform::kBoxYesNo | platform::kBoxIconQuestion) == platform::kIdYes;

  // The second post-installation batch.
  install::RunBatch(folders.installDir.CStr(), script.postInstallBatch2.CStr(),
                   (payload::ProductFlags() & format::kFlagHidePostBatch2) != 0);

  // The shared and installation directories are removed when they stayed
  // empty; drive roots never.
  install::RemoveDirectory(folders.sharedDir.CStr());
  install::RemoveDirectory(folders.installDir.CStr());

  if (restart) platform::RestartWindows(platform::kRestartReboot, false);
  payload::ExitInstaller();
}

}  // namespace kova::setup
