// The entry routine's sequence of phases; see entry.h.
#include "payload/entry.h"

#include "install/folders.h"
#include "install/system_paths.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "platform/process.h"
#include "platform/window.h"
#include "ui/windows.h"

namespace kova::payload {
namespace {

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

  core::String installerPath = InstallerPathOf(platform::FullCommandLine().CStr());
  (void)installerPath;
  ExitInstaller();
}

}  // namespace kova::payload
