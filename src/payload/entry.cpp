// The entry routine's sequence of phases; see entry.h.
#include "payload/entry.h"

#include "install/file.h"
#include "install/folders.h"
#include "install/install_variables.h"
#include "install/system_paths.h"
#include "payload/archive_open.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/file_source.h"
#include "payload/install_script.h"
#include "payload/installer_run.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/script_reader.h"
#include "platform/process.h"
#include "platform/window.h"
#include "ui/windows.h"

namespace kova::payload {
namespace {

constexpr const char* kGuardText =
    "This program performs installations and uninstallations.\r\nThere is no installation archive "
    "present.\r\nNo Uninstallation parameters were specified.\r\n\r\nYou should not delete this "
    "program or execute it directly.";

InstallerRun& Run() {
  static InstallerRun run;
  return run;
}

// Steps 5 and 6: the own file, the archive, the script block and
// ProductFlags, and the script's checksum.
void OpenOwnArchive(InstallerRun& run, const core::String& installerPath) {
  if (run.file.Open(installerPath.CStr(), install::kModeRead) != install::kOpenOk)
    FatalError("Error code 1: The self-extracting archive could not open itself.  Filename:\n%s",
               installerPath.CStr());
  FileSource source(run.file);
  i32 code = OpenArchive(source, run.archive);
  if (code == kNoArchive) FatalError("%s", kGuardText);
  if (code == kVersionTooNew)
    FatalError("The installer version (%.1f) does not match the version of KOVA (%.1f).  Close all "
               "applications and reinstall KOVA.",
               run.archive.header.builderVersion / 100.0, kBuilderVersion / 100.0);
  if (code != 0) CorruptArchive(code);
}

// Applies what the install script says to the process-wide values: product
// name (unless the command line gave one), colours, languages and messages.
void ApplyScript(InstallScript& script, bool productNameGiven) {
  install::InstallFolders& folders = install::Folders();
  if (!productNameGiven) folders.productName = script.productName;
  install::DirectoryTexts texts;
  texts.publisher = script.publisher.CStr();
  texts.sharedDir = script.sharedDir.CStr();
  texts.productStartMenu = script.productStartMenu.CStr();
  texts.defaultDir = script.defaultDirText.CStr();
  install::ApplyDirectoryDefaults(texts, (script.productFlags & kFlagUninstallSupport) != 0);
  folders.uninstallSubdir = script.uninstallSubdir;
  if (script.displayName.IsEmpty()) script.displayName = folders.productName;

  ui::SetupWindowStyle& style = ui::WindowStyle();
  if (script.productFlags & kFlagCustomColors) {
    style.titleColor = script.titleColor;
    style.topColor = script.topColor;
    style.bottomColor = script.bottomColor;
    if (script.topColor != script.bottomColor) style.monoColor = false;
  }
  if (!script.backgroundBitmap.IsEmpty()) style.titleColor = script.titleColor;

  SetMessageTable(static_cast<core::Array<core::String>&&>(script.languageNames),
                  static_cast<core::Array<core::Array<core::String>>&&>(script.messages));
}

// Applies the parsed command line to the process-wide values.
void ApplyCommandLine(const CommandLine& options) {
  if (options.automatic) SetAutomaticMode(true);
  if (options.installDirGiven) install::Folders().installDir = options.installDir;
  if (options.productNameGiven) install::Folders().productName = options.productName;
}

}  // namespace

void RunStub(void* instance, const char* commandLineText) {
  InstallFailureHandlers();
  install::GetSystemPaths();

  ui::SetInstance(instance);
  core::String commandLine(commandLineText);
  ui::SetupWindowStyle& style = ui::WindowStyle();
  style.titleColor = platform::SystemColor(platform::kColorWindowText);
  style.topColor = platform::SystemColor(platform::kColorWindow);
  style.monoColor = true;

  CommandLine options;
  core::String fault;
  if (!ParseCommandLine(commandLine.CStr(), options, fault)) UsageError(fault.CStr());
  ApplyCommandLine(options);

  if (options.uninstall) {
    if (install::Folders().productName.IsEmpty()) UsageError("Product name required");
    // The uninstaller itself arrives with the uninstall data.
    ExitInstaller();
  }

  InstallerRun& run = Run();
  OpenOwnArchive(run, InstallerPathOf(platform::FullCommandLine().CStr()));

  ScriptReader reader(run.archive.script.Data(), static_cast<i32>(run.archive.script.Size()));
  run.script.productFlags = ReadProductFlags(reader);
  SetProductFlags(run.script.productFlags);
  if (run.script.productFlags & kFlagAutomatic) SetAutomaticMode(true);
  // The setup window comes with the user interface; it is created here,
  // before the script's checksum is compared, unless kFlagNoSetupWindow.
  if (i32 code = VerifyScript(run.archive)) CorruptArchive(code);

  if (i32 code = ReadScriptItems(reader, run.script)) CorruptArchive(code);
  ApplyScript(run.script, options.productNameGiven);

  FileSource source(run.file);
  if (i32 code = BuildUninstaller(source, run.archive, run.script, run.uninstallerImage)) CorruptArchive(code);

  RunInstallation(run);
}

}  // namespace kova::payload
