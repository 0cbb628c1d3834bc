// The checks and choices before copying, in their order: language, title,
// operating system, master product, earlier installation, welcome, licence
// and read-me pages, reinstall decision, installation directory. Each step
// that refuses shows its box and makes the sequence return false; the
// caller ends the program, so nothing after a refusal runs.
#include "setup/pre_install.h"

#include "core/format.h"
#include "core/paths.h"
#include "format/script_reader.h"
#include "install/directories.h"
#include "install/disk_space.h"
#include "install/file_versions.h"
#include "install/path_text.h"
#include "install/system_folders.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/message_box.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "payload/window_handles.h"
#include "system/registry.h"
#include "ui/dialog_view.h"
#include "ui/setup_window.h"

namespace kova::setup {
namespace {

constexpr const char* kUninstallKey = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr i32 kMaxPath = 260;
// Room a directory must leave within MAX_PATH for the backslash and a file
// name (an 8.3 name such as the log's) joined to it later.
constexpr i32 kRoomForFileName = 1 + 12;

using payload::GetMessage;

bool HasFlag(u32 flag) { return (payload::ProductFlags() & flag) != 0; }

int Ask(const core::String& text, const core::String& caption, u32 style) {
  return payload::ShowBox(payload::DialogOwner(), text.CStr(), caption.CStr(), style);
}

// An error box with a message of the archive formatted with its arguments.
void ShowMessageError(i32 message, std::initializer_list<payload::MessageArg> args) {
  core::String text = payload::FormatMessageText(GetMessage(message).CStr(), args);
  payload::ShowError("%s", text.CStr());
}

// The earlier registration of a product: the values of its Uninstall key,
// which is opened, never created.
struct Registration {
  bool installed = false;  // it has an uninstall command
  core::String location;
  core::String version;
  core::String sharedFiles;
};

Registration ReadRegistration(const char* productName) {
  Registration registration;
  core::String key(kUninstallKey);
  key += productName;
  if (!system::SoftwareKeyExists(key.CStr(), false) ||
      !system::OpenSoftwareKey(key.CStr(), false, system::kRegOpenExisting))
    return registration;
  registration.installed = system::ValueExists("UninstallString") || system::ValueExists("QuietUninstallString");
  registration.location = system::GetStringValue("InstallLocation", "", 0);
  registration.version = system::GetStringValue("DisplayVersion", "", 0);
  registration.sharedFiles = system::GetStringValue("SharedFiles", "", 0);
  system::CloseKey();
  return registration;
}

bool ChooseLanguage() {
  if (payload::LanguageCount() == 1 || payload::IsAutomaticMode()) {
    payload::SetLanguageIndex(0);
    return true;
  }
  payload::SetLanguageIndex(0);
  int result = ui::Dialogs().ChooseLanguage();
  i32 chosen = payload::LanguageIndex();
  if (chosen < 0 || chosen >= payload::LanguageCount()) payload::SetLanguageIndex(0);
  return result == ui::kDialogAccept;
}

bool CheckSystem(u32 excluded) {
  platform::OsVersion version;
  if (!platform::GetOsVersion(&version)) return true;
  if ((SystemBit(version) & excluded) == 0) return true;
  ShowMessageError(payload::kMsgSystemRefused, {SystemName(version)});
  return false;
}

bool CheckMasterProduct(const format::InstallScript& script) {
  core::String master = script.masterProductName;
  if (core::IsBlankText(master.CStr())) master = payload::Folders().productName;
  Registration registration = ReadRegistration(master.CStr());
  if (!registration.installed) {
    ShowMessageError(payload::kMsgMasterMissing, {master});
    return false;
  }
  core::String& defaultDir = payload::Folders().defaultDir;
  if (defaultDir.EqualsNoCase("<master>")) defaultDir = registration.location;
  return true;
}

bool Welcome() {
  if (payload::IsAutomaticMode()) return true;
  // The builder's version, 8.2, as its caption has always shown it.
  const core::String caption("Kovabuild v8.2");
  return Ask(GetMessage(payload::kMsgWelcome), caption, platform::kBoxYesNo | platform::kBoxIconAsterisk) ==
         platform::kIdYes;
}

// The pages of one kind: the first from the message table, the rest from the
// script, blank ones skipped.
bool ShowPages(const PreInstallInput& input, ui::PageKind kind) {
  if (payload::IsAutomaticMode()) return true;
  bool license = kind == ui::PageKind::kLicense;
  const core::Array<i32>& positions = license ? input.script->licensePages : input.script->readmePages;
  for (i32 i = -1; i < positions.Size(); ++i) {
    core::String page;
    if (i < 0) {
      page = GetMessage(license ? payload::kMsgFirstLicencePage : payload::kMsgFirstReadmePage);
    } else {
      i32 position = positions[i];
      if (position < 0 || position >= input.scriptLength) continue;
      format::ScriptReader reader(input.scriptBytes + position, input.scriptLength - position);
      reader.ReadText(page);
    }
    if (core::IsBlankText(page.CStr())) continue;
    page.Replace("<product>", payload::Folders().productName.CStr(), core::kFindNoCase, 0);
    page.Replace("<os>", payload::GetSystemPaths().windowsDir.CStr(), core::kFindNoCase, 0);
    if (ui::Dialogs().ShowPage(kind, page.CStr()) != ui::kDialogAccept) return false;
  }
  return true;
}

bool ConfirmReinstall(const Registration& earlier, const format::InstallScript& script) {
  if (HasFlag(format::kFlagNoReinstall)) {
    payload::SetAutomaticMode(false);
    payload::ShowError("%s", GetMessage(payload::kMsgNoReinstall).CStr());
    return false;
  }
  if (payload::IsAutomaticMode() || HasFlag(format::kFlagReinstallSilently)) return true;
  i32 first = payload::kMsgReinstallUnknown;
  if (!core::IsBlankText(earlier.version.CStr()) && !core::IsBlankText(script.versionText.CStr())) {
    i32 order = install::CompareVersions(earlier.version.CStr(), script.versionText.CStr());
    first = order == 0 ? payload::kMsgReinstallSame
                       : order < 0 ? payload::kMsgReinstallOlder : payload::kMsgReinstallNewer;
  }
  core::String text = GetMessage(first);
  text += "\r\n";
  text += earlier.location;
  text += "\r\n\r\n";
  text += GetMessage(payload::kMsgReinstallQuestion);
  return Ask(text, GetMessage(payload::kMsgReinstallCaption), platform::kBoxYesNo | platform::kBoxIconQuestion) ==
         platform::kIdYes;
}

// After leading blanks: "\\" or a drive letter, colon and backslash.
bool IsAbsolute(const char* path) {
  while (core::IsBlank(*path)) ++path;
  if (path[0] == '\\' && path[1] == '\\') return true;
  return path[0] != '\0' && path[1] == ':' && path[2] == '\\';
}

// The checks of one directory the user chose; false after an error box.
bool DirectoryAcceptable(const core::String& directory) {
  if (!install::IsValidPath(0, directory.CStr()) || !IsAbsolute(directory.CStr()) ||
      directory.Length() > kMaxPath - 1 - kRoomForFileName) {
    payload::ShowError("%s\r\n%s", GetMessage(payload::kMsgInvalidDirectory).CStr(), directory.CStr());
    return false;
  }
  // A network path has no drive letter to check.
  char drive = core::DriveLetterOf(directory.CStr());
  if (drive != '\0' && !install::DriveExists(drive)) {
    ShowMessageError(payload::kMsgNoSuchDrive, {drive});
    return false;
  }
  if (directory.Length() <= 3) {
    payload::ShowError("%s", GetMessage(payload::kMsgDriveRootRefused).CStr());
    return false;
  }
  core::String programs = install::ProgramsDir();
  if (install::PathsEqual(directory.CStr(), programs.CStr())) {
    ShowMessageError(payload::kMsgProgramFilesRefused, {programs});
    return false;
  }
  return true;
}

bool EnoughSpaceOrGoOn(const core::String& directory, const core::Array<i32>& fileSizes) {
  i64 need = SpaceNeeded(fileSizes, install::ClusterSize(directory.CStr()));
  i64 free = install::FreeSpace(directory.CStr());
  if (need < free) return true;
  core::String needText = core::SizeText(need);
  core::String freeText = core::SizeText(free);
  core::String text = payload::FormatMessageText(GetMessage(payload::kMsgLowDiskSpace).CStr(),
                                                 {needText, core::DriveLetterOf(directory.CStr()), freeText});
  return Ask(text, GetMessage(payload::kMsgQuestionCaption), platform::kBoxYesNo | platform::kBoxIconHand) ==
         platform::kIdYes;
}

// The directory loop: asks until a directory passes every check and is
// confirmed (and made); false on Cancel.
bool ChooseDirectoryInteractively(const core::Array<i32>& fileSizes) {
  core::String& installDir = payload::Folders().installDir;
  for (;;) {
    core::String edited = installDir;
    if (!ui::Dialogs().ChooseDirectory(edited)) return false;
    edited.Trim();
    installDir = edited;
    if (installDir.IsEmpty()) continue;
    if (!DirectoryAcceptable(installDir)) continue;
    if (!EnoughSpaceOrGoOn(installDir, fileSizes)) continue;

    bool existed = install::DirectoryExists(installDir.CStr());
    core::String question = payload::FormatMessageText(
        GetMessage(existed ? payload::kMsgUseExistingDirectory : payload::kMsgCreateDirectory).CStr(), {installDir});
    if (Ask(question, GetMessage(payload::kMsgDirectoryCaption), platform::kBoxYesNo | platform::kBoxIconQuestion) !=
        platform::kIdYes)
      continue;
    if (!existed && !install::CreateDirectoryPath(installDir.CStr())) {
      payload::ShowError("%s\n%s", GetMessage(payload::kMsgCannotCreateFolder).CStr(), installDir.CStr());
      continue;
    }
    return true;
  }
}

bool ChooseInstallDirectory(const core::Array<i32>& fileSizes) {
  payload::InstallFolders& folders = payload::Folders();
  if (folders.installDir.IsEmpty()) folders.installDir = folders.defaultDir;
  if (!payload::IsAutomaticMode() && HasFlag(format::kFlagChooseDirectory))
    return ChooseDirectoryInteractively(fileSizes);
  // Without questions the directory is taken as it is and made; whether that
  // worked shows when the files are written. One that names no place at all
  // (empty, or a master product's location that never came) is refused.
  core::String trimmed = folders.installDir;
  trimmed.Trim();
  if (trimmed.IsEmpty() || trimmed.EqualsNoCase("<master>")) {
    payload::ShowError("%s\r\n%s", GetMessage(payload::kMsgInvalidDirectory).CStr(), folders.installDir.CStr());
    return false;
  }
  install::CreateDirectoryPath(folders.installDir.CStr());
  return true;
}

}  // namespace

u32 SystemBit(const platform::OsVersion& version) {
  switch (version.platformId) {
    case platform::kPlatformWin32s:
      return 0x01;
    case platform::kPlatformWindows:
      return version.minor < 10 ? 0x02 : version.minor < 90 ? 0x04 : 0x08;
    case platform::kPlatformNt:
      if (version.major <= 3) return 0x10;
      if (version.major == 4) return 0x20;
      return version.major == 5 && version.minor == 0 ? 0x40 : 0x80;
    default:
      return 0;
  }
}

core::String SystemName(const platform::OsVersion& version) {
  core::String name("Windows ");
  switch (version.platformId) {
    case platform::kPlatformWin32s:
      name += "3.1";
      break;
    case platform::kPlatformWindows:
      name += version.minor == 0 ? "95" : "98";
      break;
    case platform::kPlatformNt:
      name.AppendFormat("NT %d.%d", static_cast<int>(version.major), static_cast<int>(version.minor));
      break;
    default:
      break;
  }
  if (version.servicePack[0] != ' ') name += ' ';
  name += version.servicePack;
  name.TrimRight();
  return name;
}

i64 SpaceNeeded(const core::Array<i32>& fileSizes, i32 clusterSize) {
  i64 need = 0;
  for (i32 i = 0; i < fileSizes.Size(); ++i) {
    i64 size = fileSizes[i];
    if (clusterSize >= 2) size = (size + clusterSize - 1) / clusterSize * clusterSize;
    need += size;
  }
  return need;
}

bool RunPreInstall(const PreInstallInput& input, PreInstallChoices& choices) {
  const format::InstallScript& script = *input.script;
  payload::InstallFolders& folders = payload::Folders();

  // A product without a name (blanks and backslashes do not name one) would
  // look itself up, and later register itself, as the Uninstall key itself.
  core::String name = folders.productName;
  name.Trim(" \r\n\t\\");
  if (name.IsEmpty()) payload::FatalError("Product name required");

  if (!ChooseLanguage()) return false;
  ui::ShowTitle(GetMessage(payload::kMsgSetupTitle).CStr());
  if (!CheckSystem(script.excludedSystems)) return false;
  if (HasFlag(format::kFlagMasterProduct) && !CheckMasterProduct(script)) return false;

  Registration earlier;
  bool previouslyInstalled = false;
  if (HasFlag(format::kFlagUninstallSupport)) {
    earlier = ReadRegistration(folders.productName.CStr());
    previouslyInstalled = !earlier.location.IsEmpty() && install::DirectoryExists(earlier.location.CStr());
  }

  if (!Welcome()) return false;
  if (!ShowPages(input, ui::PageKind::kLicense)) return false;
  if (!ShowPages(input, ui::PageKind::kReadme)) return false;

  if (previouslyInstalled) {
    if (!ConfirmReinstall(earlier, script)) return false;
    choices.reinstall = true;
    choices.earlierSharedFiles = earlier.sharedFiles;
    folders.installDir = earlier.location;
    return true;
  }
  return ChooseInstallDirectory(*input.fileSizes);
}

}  // namespace kova::setup
