// The entry routine's sequence of phases; see entry.h.
#include "setup/entry.h"

#include "core/lasting.h"
#include "format/archive_open.h"
#include "format/install_script.h"
#include "format/script_reader.h"
#include "install/file.h"
#include "install/file_source.h"
#include "install/install_variables.h"
#include "install/uninstall.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "payload/window_handles.h"
#include "platform/process.h"
#include "platform/window.h"
#include "setup/installer_run.h"
#include "ui/setup_window.h"

namespace kova::setup {
namespace {

constexpr const char* kGuardText =
    "This program performs installations and uninstallations.\r\nThere is no installation archive "
    "present.\r\nNo Uninstallation parameters were specified.\r\n\r\nYou should not delete this "
    "program or execute it directly.";

InstallerRun& Run() {
  static core::Lasting<InstallerRun> run;
  return run.Get();
}

// The program's own file: the archive, the script block and ProductFlags,
// and the script's checksum.
void OpenOwnArchive(InstallerRun& run, const core::String& installerPath) {
  if (run.file.Open(installerPath.CStr(), install::kModeRead) != install::kOpenOk)
    payload::FatalError("Error code 1: The self-extracting archive could not open itself.  Filename:\n%s",
               installerPath.CStr());
  install::FileSource source(run.file);
  i32 code = format::OpenArchive(source, run.archive);
  if (code == format::kNoArchive) payload::FatalError("%s", kGuardText);
  if (code == format::kVersionTooNew)
    payload::FatalError("The installer version (%.1f) does not match the version of KOVA (%.1f).  Close all "
               "applications and reinstall KOVA.",
               run.archive.header.builderVersion / 100.0, format::kBuilderVersion / 100.0);
  if (code != 0) payload::CorruptArchive(code);
}

// Applies what the install script says to the process-wide values: product
// name (unless the command line gave one), colours, languages and messages.
void ApplyScript(format::InstallScript& script, bool productNameGiven) {
  payload::InstallFolders& folders = payload::Folders();
  if (!productNameGiven) folders.productName = script.productName;
  install::DirectoryTexts texts;
  texts.publisher = script.publisher.CStr();
  texts.sharedDir = script.sharedDir.CStr();
  texts.productStartMenu = script.productStartMenu.CStr();
  texts.defaultDir = script.defaultDirText.CStr();
  install::ApplyDirectoryDefaults(texts, (script.productFlags & format::kFlagUninstallSupport) != 0);
  folders.uninstallSubdir = script.uninstallSubdir;
  if (script.displayName.IsEmpty()) script.displayName = folders.productName;

  payload::SetupWindowStyle& style = payload::WindowStyle();
  if (script.productFlags & format::kFlagCustomColors) {
    style.titleColor = script.titleColor;
    style.topColor = script.topColor;
    style.bottomColor = script.bottomColor;
    if (script.topColor != script.bottomColor) style.monoColor = false;
  }
  if (!script.backgroundBitmap.IsEmpty()) {
    style.titleColor = script.titleColor;
    // A bitmap that does not parse stays empty: the colours are painted.
    ui::BackgroundBitmap().LoadFromMemory(script.backgroundBitmap.Data(),
                                          static_cast<i32>(script.backgroundBitmap.Size()));
  }

  payload::SetMessageTable(static_cast<core::Array<core::String>&&>(script.languageNames),
                  static_cast<core::Array<core::Array<core::String>>&&>(script.messages));
}

// Applies the parsed command line to the process-wide values.
void ApplyCommandLine(const payload::CommandLine& options) {
  if (options.automatic) payload::SetAutomaticMode(true);
  if (options.installDirGiven) payload::Folders().installDir = options.installDir;
  if (options.productNameGiven) payload::Folders().productName = options.productName;
}

}  // namespace

void RunStub(void* instance, const char* commandLineText) {
  payload::InstallFailureHandlers();
  payload::GetSystemPaths();

  payload::SetInstance(instance);
  core::String commandLine(commandLineText);
  payload::SetupWindowStyle& style = payload::WindowStyle();
  style.titleColor = platform::SystemColor(platform::kColorWindowText);
  style.topColor = platform::SystemColor(platform::kColorWindow);
  style.monoColor = true;

  payload::CommandLine options;
  core::String fault;
  if (!payload::ParseCommandLine(commandLine.CStr(), options, fault)) payload::UsageError(fault.CStr());
  ApplyCommandLine(options);

  if (options.uninstall) {
    if (payload::Folders().productName.IsEmpty()) payload::UsageError("Product name required");
    if (install::Uninstall() == install::UninstallResult::kCompleted) install::SelfDelete();
    payload::ExitInstaller();
  }

  InstallerRun& run = Run();
  OpenOwnArchive(run, payload::InstallerPathOf(platform::FullCommandLine().CStr()));

  format::ScriptReader reader(run.archive.script.Data(), static_cast<i32>(run.archive.script.Size()));
  run.script.productFlags = format::ReadProductFlags(reader);
  payload::SetProductFlags(run.script.productFlags);
  if (run.script.productFlags & format::kFlagAutomatic) payload::SetAutomaticMode(true);
  // The setup window covers the screen from here on, before the script's
  // checksum is compared; an installer may do without it.
  if (!(run.script.productFlags & format::kFlagNoSetupWindow)) ui::CreateSetupWindow();
  if (i32 code = format::VerifyScript(run.archive)) payload::CorruptArchive(code);

  i32 itemsCode = format::ReadScriptItems(reader, run.script);
  // A script whose whole message table was read and whose end marker alone
  // is wrong reports with the archive's own corrupt text, as every later
  // code does: the table is taken in before the box.
  if (itemsCode == format::kCorruptEndMarker && !run.script.messages.IsEmpty())
    ApplyScript(run.script, options.productNameGiven);
  if (itemsCode != 0) payload::CorruptArchive(itemsCode);
  ApplyScript(run.script, options.productNameGiven);

  install::FileSource source(run.file);
  if (i32 code = format::BuildUninstaller(source, run.archive, run.script, run.uninstallerImage)) payload::CorruptArchive(code);

  RunInstallation(run);
}

}  // namespace kova::setup
