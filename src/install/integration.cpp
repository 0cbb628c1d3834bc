// Shortcuts, product keys and associations; see integration.h.
#include "install/integration.h"

#include "core/paths.h"
#include "format/file_record.h"
#include "install/directories.h"
#include "install/install_texts.h"
#include "install/install_variables.h"
#include "install/shortcut_entries.h"
#include "install/system_folders.h"
#include "payload/folders.h"
#include "payload/messages.h"
#include "platform/shell_link.h"
#include "system/registry.h"
#include "system/uninstall_list.h"

namespace kova::install {
namespace {

constexpr i32 kMaxPath = 260;

// One shortcut of an entry: name below folder. A name that would leave the
// folder (a drive, a leading backslash, "..") is not made, and neither is a
// link whose path would not fit MAX_PATH; both count as failures.
bool MakeShortcut(const char* folder, const char* name, const ShortcutEntry& entry, const core::String& arguments) {
  core::String link = core::JoinPath(folder, name);
  if (!format::IsSafeRecordName(name) || link.Length() + 4 >= kMaxPath) {
    AddCannotInstall(link.CStr());
    return false;
  }
  if (!CreateShortcut(link, entry.target.CStr(), arguments.CStr(), payload::Folders().installDir.CStr(),
                      entry.iconPath.CStr())) {
    AddCannotInstall(link.CStr());
    return false;
  }
  if (!entry.permanent) system::AddUninstallEntry(link.CStr(), system::kUninstallFile);
  return true;
}

bool IsBlank(const core::String& text) { return core::IsBlankText(text.CStr()); }

// Replaces the current key's default value with text, keeping a different,
// non-blank old value in the product's backup value.
bool ReplaceDefault(const core::String& text) {
  core::String old = system::GetStringValue("", "", 0);
  if (!IsBlank(old) && !old.EqualsNoCase(text.CStr())) {
    core::String backup = payload::Folders().productName;
    backup += " Backup";
    system::SetStringValue(backup.CStr(), old.CStr(), 0);
  }
  return system::SetStringValue("", text.CStr(), 0);
}

}  // namespace

bool CreateShortcut(core::String& linkPath, const char* target, const char* arguments, const char* workingDirectory,
                    const char* iconFile) {
  if (linkPath.Find(".LNK", 0, core::kFindNoCase) < 0) linkPath += ".LNK";
  CreateDirectoryPath(core::DirectoryOf(linkPath.CStr()).CStr());
  return platform::SaveShellLink(linkPath.CStr(), target, arguments, workingDirectory, iconFile);
}

bool CreateShortcuts() {
  bool inStartMenu = false;
  const core::Array<ShortcutEntry>& entries = ShortcutEntries();
  core::String startMenu = payload::Folders().productStartMenu;
  bool startMenuSafe = format::IsSafeRecordName(startMenu.CStr());
  for (i32 i = 0; i < entries.Size(); ++i) {
    const ShortcutEntry& entry = entries[i];
    core::String arguments = entry.arguments;
    ExpandInstallVariables(arguments);
    if (entry.desktop) MakeShortcut(DesktopDir().CStr(), entry.name.CStr(), entry, arguments);
    if (entry.programsMenu) {
      core::String name = core::JoinPath(startMenu.CStr(), entry.name.CStr());
      if (!startMenuSafe) {
        AddCannotInstall(core::JoinPath(SMProgramsDir().CStr(), name.CStr()).CStr());
      } else if (MakeShortcut(SMProgramsDir().CStr(), name.CStr(), entry, arguments)) {
        inStartMenu = true;
      }
    }
    if (entry.startup) MakeShortcut(StartupDir().CStr(), entry.name.CStr(), entry, arguments);
  }
  return inStartMenu;
}

void CreateProductKeys(const char* productRegistry) {
  if (!productRegistry || !*productRegistry) return;
  bool made = true;
  for (bool perUser : {false, true}) {
    if (system::OpenSoftwareKey(productRegistry, perUser, 0)) {
      system::CloseKey();
    } else {
      made = false;
    }
  }
  if (!made) ErrorText().AppendFormat("Error creating registry keys:\r\n%s\r\n\r\n", productRegistry);
}

void RegisterAssociations(const core::Array<format::AssociationRecord>& records, core::String& associationsText) {
  const core::String& language = payload::LanguageName(payload::LanguageIndex());
  for (i32 i = 0; i < records.Size(); ++i) {
    const format::AssociationRecord& record = records[i];
    if (record.extension.IsEmpty()) continue;
    if (!record.language.IsEmpty() && !record.language.Equals(language.CStr())) continue;
    core::String extension = record.extension;
    if (extension[0] != '.') extension.Insert(0, ".", 1);
    bool given = !record.fileType.IsEmpty();
    bool ok = false;

    core::String fileType = record.fileType;
    if (system::OpenKey(platform::kClassesRoot, extension.CStr(), given ? 0 : system::kRegOpenExisting)) {
      if (given) {
        ReplaceDefault(fileType);
      } else {
        fileType = system::GetStringValue("", "", 0);
      }
      system::CloseKey();
    } else if (!given) {
      continue;
    }
    // An extension without a type of its own leaves nothing to extend: the
    // verb is never written below HKEY_CLASSES_ROOT itself.
    if (fileType.IsEmpty()) continue;
    if (system::OpenKey(platform::kClassesRoot, fileType.CStr(), 0)) {
      if (given && !IsBlank(record.description)) ReplaceDefault(record.description);
      if (system::OpenSubKey("shell", 0)) {
        if (record.flags & 0x1) ReplaceDefault(record.verb);
        if (system::OpenSubKey(record.verb.CStr(), 0)) {
          system::SetStringValue("", record.verbText.CStr(), 0);
          if (system::OpenSubKey("command", 0)) {
            core::String command = record.command;
            ExpandInstallVariables(command);
            ok = ReplaceDefault(command);
            system::CloseKey();
          }
          system::CloseKey();
        }
        system::CloseKey();
      }
      system::CloseKey();
    }
    associationsText.AppendFormat("%s~!~%s~!~%s\r\n", extension.CStr(), fileType.CStr(), record.verb.CStr());
    if (!ok) ErrorText().AppendFormat("Failed to associate file type:  \"%s\".\r\n\r\n", extension.CStr());
  }
}

}  // namespace kova::install
