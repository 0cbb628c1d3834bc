// The name tables; see flag_names.h. Names are lower case with hyphens, as
// TOML keys and values usually are.
#include "builder/flag_names.h"

#include <cstdio>

#include "format/install_script.h"

namespace kova::builder {
namespace {

using namespace kova::format;

constexpr NamedValue kProductFlags[] = {
    {"no-reinstall", format::kFlagNoReinstall, "an earlier installation may not be reinstalled"},
    {"uninstall-shortcut", format::kFlagUninstallShortcut, "an uninstall shortcut goes into the start-menu folder"},
    {"uninstall-support", format::kFlagUninstallSupport, "register an uninstaller, Uninstall.DAT and shared files"},
    {"ask-before-fonts", format::kFlagAskBeforeFonts, "the uninstaller asks before removing fonts"},
    {"compressed-data", format::kFlagCompressedData, "the file data stream is compressed"},
    {"always-log", format::kFlagAlwaysLog, "the installation log is always written"},
    {"choose-directory", format::kFlagChooseDirectory, "the user chooses the installation directory"},
    {"automatic", format::kFlagAutomatic, "automatic mode: no dialogs or questions"},
    {"uninstall-automatic", format::kFlagUninstallAutomatic, "the uninstaller runs in automatic mode"},
    {"remove-install-dir", format::kFlagRemoveInstallDir, "the uninstaller removes the whole installation directory"},
    {"add-path", format::kFlagAddPath, "the PATH line is added"},
    {"custom-colors", format::kFlagCustomColors, "the setup window uses the script's colours"},
    {"restart-pending", format::kFlagRestartPending, "set by an installation when a file waits for a restart"},
    {"save-background", format::kFlagSaveBackground, "the background bitmap is kept for the uninstaller"},
    {"master-product", format::kFlagMasterProduct, "a master product must be installed"},
    {"ask-before-shared", format::kFlagAskBeforeShared, "the uninstaller asks before removing shared files"},
    {"verify-files", format::kFlagVerifyFiles, "written files are read back and compared"},
    {"clear-read-only", format::kFlagClearReadOnly, "the read-only attribute is cleared after a failed write"},
    {"log-every-file", format::kFlagLogEveryFile, "every installed file is written to the log"},
    {"no-cancel", format::kFlagNoCancel, "the progress dialog's cancel button is disabled"},
    {"no-log-error-box", format::kFlagNoLogErrorBox, "no error box after writing the log"},
    {"hide-pre-install-batch", format::kFlagHidePreBatch, "the pre-install batch runs hidden"},
    {"hide-post-install-batch-1", format::kFlagHidePostBatch1, "post-install batch 1 runs hidden"},
    {"hide-post-install-batch-2", format::kFlagHidePostBatch2, "post-install batch 2 runs hidden"},
    {"hide-uninstall-batch-1", format::kFlagHideUninstallBatch1, "uninstall batch 1 runs hidden"},
    {"hide-uninstall-batch-2", format::kFlagHideUninstallBatch2, "uninstall batch 2 runs hidden"},
    {"reinstall-silently", format::kFlagReinstallSilently, "reinstall without asking"},
    {"no-setup-window", format::kFlagNoSetupWindow, "no full-screen setup window"},
};

constexpr NamedValue kFileFlags[] = {
    {"desktop-shortcut", kFileFlagDesktop, "a shortcut on the desktop"},
    {"programs-shortcut", kFileFlagPrograms, "a shortcut in the product's start-menu folder"},
    {"permanent", kFileFlagPermanent, "never removed by the uninstaller"},
    {"uninstall-dir", kFileFlagUninstallDir, "installed into the uninstall folder"},
};

constexpr NamedValue kExistingModes[] = {
    {"replace", 0x0, "install normally"},
    {"never", 0x4, "do not install this file"},
    {"only-if-exists", 0x8, "install only when the target already exists"},
    {"only-if-missing", 0xC, "install only when the target does not exist"},
};

constexpr NamedValue kFileTypes[] = {
    {"install-dir", kFileTypeInstallDir, "the installation directory"},
    {"shared", kFileTypeShared, "the shared directory, reference counted"},
    {"font", kFileTypeFont, "the fonts folder, registered as a font"},
    {"startup", kFileTypeStartup, "the installation directory, with a shortcut in the Startup folder"},
    {"system", kFileTypeSystem, "the system directory, replaced by version and date"},
};

constexpr NamedValue kSystems[] = {
    {"win32s", 0x01, "Windows 3.1 with Win32s"},
    {"win95", 0x02, "Windows 95"},
    {"win98", 0x04, "Windows 98"},
    {"winme", 0x08, "Windows Me"},
    {"nt3", 0x10, "Windows NT 3.x"},
    {"nt4", 0x20, "Windows NT 4"},
    {"win2000", 0x40, "Windows 2000"},
    {"winxp-and-later", 0x80, "Windows XP and every later NT version"},
};

constexpr NamedValue kAssociationFlags[] = {
    {"default-verb", 0x1, "the verb becomes the file type's default action"},
};

}  // namespace

std::span<const NamedValue> ProductFlagNames() { return kProductFlags; }
std::span<const NamedValue> FileFlagNames() { return kFileFlags; }
std::span<const NamedValue> ExistingModeNames() { return kExistingModes; }
std::span<const NamedValue> FileTypeNames() { return kFileTypes; }
std::span<const NamedValue> SystemNames() { return kSystems; }
std::span<const NamedValue> AssociationFlagNames() { return kAssociationFlags; }

std::optional<u32> LookupName(std::span<const NamedValue> table, std::string_view name) {
  for (const NamedValue& entry : table)
    if (name == entry.name) return entry.value;
  return std::nullopt;
}

const char* NameOfValue(std::span<const NamedValue> table, u32 value) {
  for (const NamedValue& entry : table)
    if (entry.value == value) return entry.name;
  return nullptr;
}

std::vector<std::string> NamesOfBits(std::span<const NamedValue> table, u32 bits) {
  std::vector<std::string> names;
  u32 rest = bits;
  for (const NamedValue& entry : table) {
    if (entry.value != 0 && (bits & entry.value) == entry.value) {
      names.emplace_back(entry.name);
      rest &= ~entry.value;
    }
  }
  if (rest != 0) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", rest);
    names.emplace_back(buffer);
  }
  return names;
}

std::string ListNames(std::span<const NamedValue> table) {
  std::string list;
  for (const NamedValue& entry : table) {
    if (!list.empty()) list += ", ";
    list += entry.name;
  }
  return list;
}

}  // namespace kova::builder
