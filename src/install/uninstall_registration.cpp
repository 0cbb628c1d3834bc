// The uninstall registration; see uninstall_registration.h.
#include "install/uninstall_registration.h"

#include "core/date_time.h"
#include "core/paths.h"
#include "install/directories.h"
#include "install/install_texts.h"
#include "install/installed_file_writer.h"
#include "install/integration.h"
#include "install/system_folders.h"
#include "install/uninstall_data_path.h"
#include "install/whole_file.h"
#include "payload/folders.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "payload/window_handles.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "system/registry.h"
#include "system/uninstall_list.h"
#include "ui/dib_bitmap.h"
#include "ui/setup_window.h"

namespace kova::install {
namespace {

constexpr const char* kUninstallKey = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The messages the uninstaller shows, carried in Uninstall.DAT.
constexpr i32 kUninstallerMessages[] = {10, 15, 20, 30, 34, 35, 53, 55, 56, 57, 58, 59};

core::String UninstallArguments() {
  return core::Formatted("/u:\"%s\"", payload::Folders().productName.CStr());
}

void UninstallShortcut(const char* folder, const core::String& target) {
  core::String link = core::JoinPath(folder, payload::GetMessage(payload::kMsgUninstallShortcut).CStr());
  if (CreateShortcut(link, target.CStr(), UninstallArguments().CStr(), "", "")) {
    system::AddUninstallEntry(link.CStr(), system::kUninstallFile);
  } else {
    AddCannotInstall(link.CStr());
  }
}

bool HasFlag(u32 flag) { return (payload::ProductFlags() & flag) != 0; }

}  // namespace

core::String UninstallerPath(const format::InstallScript& script) {
  return UninstallDataPath(script.uninstallerFileName.CStr());
}

void CreateUninstallShortcuts(const format::InstallScript& script, bool startMenuShortcut) {
  core::String target = UninstallerPath(script);
  if (startMenuShortcut && HasFlag(format::kFlagUninstallShortcut))
    UninstallShortcut(core::JoinPath(SMProgramsDir().CStr(), payload::Folders().productStartMenu.CStr()).CStr(),
                      target);
  UninstallShortcut(UninstallDataPath("").CStr(), target);

  // The background picture, for the uninstaller's window.
  if (!ui::BackgroundBitmap().IsEmpty() && HasFlag(format::kFlagSaveBackground)) {
    core::String picture = UninstallDataPath("Installer Background.BMP");
    if (ui::BackgroundBitmap().SaveToFile(picture.CStr())) system::AddUninstallEntry(picture.CStr(), system::kUninstallFile);
  }
}

bool VersionNumbers(const char* version, i32* major, i32* minor) {
  core::String text(version);
  i32 dot = text.Find(".");
  if (dot < 0) return false;
  *major = static_cast<i32>(text.ToNumber());
  const char* p = text.CStr() + dot + 1;
  if (*p == '\0') {
    *minor = static_cast<i32>(0x80000000u);
    return true;
  }
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  u32 value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<u32>(*p - '0');
  *minor = static_cast<i32>(negative ? 0u - value : value);
  return true;
}

bool WriteUninstallData(const core::String& associationsText) {
  core::String text = system::UninstallListText();
  text += "\r\n\r\n[Strings]\r\n";
  for (i32 number : kUninstallerMessages)
    text.AppendFormat("~%d\r\n%s\r\n", static_cast<int>(number), payload::GetMessage(number).CStr());
  if (!associationsText.IsEmpty()) {
    text += "\r\n\r\n[Associations]\r\n";
    text += associationsText;
  }
  core::String path = UninstallDataPath("Uninstall.DAT");
  core::String temporary = path;
  temporary += ".new";
  if (!WriteWholeFile(temporary.CStr(), text.CStr(), text.Length())) {
    platform::RemoveFile(temporary.CStr());
    return false;
  }
  if (!platform::MoveFilePath(temporary.CStr(), path.CStr(), platform::kMoveReplaceExisting)) {
    // Systems without MoveFileExA: the old file goes first.
    platform::RemoveFile(path.CStr());
    if (!platform::MoveFilePath(temporary.CStr(), path.CStr(), 0)) {
      platform::RemoveFile(temporary.CStr());
      return false;
    }
  }
  return true;
}

void RegisterUninstaller(const UninstallRegistration& registration) {
  const format::InstallScript& script = *registration.script;
  payload::InstallFolders& folders = payload::Folders();
  core::String uninstaller = UninstallerPath(script);
  const core::ByteBuffer& image = *registration.uninstallerImage;
  WriteInstalledFile(uninstaller.CStr(), image.Data(), static_cast<i32>(image.Size()), script.uninstallerStamp,
                     payload::ProductFlags(), ErrorText());

  core::String command = core::Formatted("%s %s", uninstaller.CStr(), UninstallArguments().CStr());
  core::String key(kUninstallKey);
  key += folders.productName;
  bool registered = system::OpenSoftwareKey(key.CStr(), false, 0);
  if (registered) {
    constexpr u32 kDeleteEmpty = system::kRegDeleteEmpty;
    system::SetStringValue("UninstallString", command.CStr(), 0);
    system::SetStringValue("QuietUninstallString",
                           core::Formatted("%s /a %s", uninstaller.CStr(), UninstallArguments().CStr()).CStr(), 0);
    system::SetStringValue("DisplayName",
                           (script.displayName.IsEmpty() ? folders.productName : script.displayName).CStr(), 0);
    system::SetStringValue("InstallSource", payload::GetSystemPaths().installerPath.CStr(), 0);
    system::SetStringValue("DisplayVersion", script.versionText.CStr(), kDeleteEmpty);
    system::SetStringValue("Publisher", script.publisher.CStr(), kDeleteEmpty);
    system::SetStringValue("InstallLocation", folders.installDir.CStr(), 0);
    system::SetStringValue("InstallDate",
                           core::FormatDateTime(platform::LocalTime(), core::kDefaultDateTimeFormat).CStr(), 0);
    i32 major = 0, minor = 0;
    if (VersionNumbers(script.versionText.CStr(), &major, &minor)) {
      system::SetNumberValue("VersionMajor", major, 0);
      system::SetNumberValue("VersionMinor", minor, 0);
    }
    system::SetStringValue("ProductRegistry", script.productRegistry.CStr(), kDeleteEmpty);
    system::SetStringValue("ProductStartMenu", folders.productStartMenu.CStr(), kDeleteEmpty);
    system::SetStringValue("SharedPath", folders.sharedDir.CStr(), kDeleteEmpty);
    system::SetStringValue("ProductFonts", registration.productFonts.CStr(), kDeleteEmpty);
    system::SetNumberValue("ProductFlags", static_cast<i32>(payload::ProductFlags()), 0);
    system::SetStringValue("UninstallBatch1", script.uninstallBatch1.CStr(), kDeleteEmpty);
    system::SetStringValue("UninstallBatch2", script.uninstallBatch2.CStr(), kDeleteEmpty);
    system::SetStringValue("SharedFiles", registration.sharedFiles.CStr(), kDeleteEmpty);
    system::SetStringValue("UninstallSubdir", folders.uninstallSubdir.CStr(), kDeleteEmpty);
    const payload::SetupWindowStyle& style = payload::WindowStyle();
    system::SetStringValue("DisplayTitle", style.displayTitle.CStr(), 0);
    if (HasFlag(format::kFlagCustomColors) || HasFlag(format::kFlagSaveBackground)) {
      system::SetNumberValue("TitleColor", static_cast<i32>(style.titleColor), 0);
    } else {
      system::DeleteValue("TitleColor");
    }
    system::SetNumberValue("TopColor", static_cast<i32>(style.topColor), 0);
    system::SetNumberValue("BottomColor", static_cast<i32>(style.bottomColor), 0);
    system::SetNumberValue("MonoColor", style.monoColor ? 1 : 0, 0);
    registered = system::GetStringValue("UninstallString", "", 0).Equals(command.CStr());
    system::CloseKey();
  }
  if (!registered)
    ErrorText() += "Unable to register the uninstall information.  Uninstall will not work properly.\r\n\r\n";
  if (!WriteUninstallData(registration.associationsText)) AddCannotInstall(UninstallDataPath("Uninstall.DAT").CStr());
}

}  // namespace kova::install
