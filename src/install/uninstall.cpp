// The uninstaller; see uninstall.h.
#include "install/uninstall.h"

#include "core/array.h"
#include "core/lasting.h"
#include "core/paths.h"
#include "format/file_record.h"
#include "install/batch.h"
#include "install/directories.h"
#include "install/file_operations.h"
#include "install/install_texts.h"
#include "install/path_line.h"
#include "install/path_text.h"
#include "install/system_folders.h"
#include "install/temp_files.h"
#include "install/uninstall_data_path.h"
#include "install/uninstall_registration.h"
#include "install/whole_file.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/message_box.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/system_paths.h"
#include "payload/window_handles.h"
#include "platform/fonts.h"
#include "platform/process.h"
#include "platform/self_deletion.h"
#include "platform/window.h"
#include "system/registry.h"
#include "system/uninstall_list.h"
#include "ui/dib_bitmap.h"
#include "ui/setup_window.h"

namespace kova::install {
namespace {

constexpr const char* kUninstallKey = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kSharedDllsKey = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr i32 kMaxSectionLines = 500;
constexpr i32 kMaxParentSteps = 20;

// ProductFlags bits of the uninstaller.
constexpr u32 kAskBeforeFonts = 0x10;
constexpr u32 kAutomatic = 0x200;
constexpr u32 kDeleteTree = 0x400;
constexpr u32 kRemovePath = 0x1000;
constexpr u32 kLoadBackground = 0x8000;
constexpr u32 kAskBeforeShared = 0x20000;
constexpr u32 kHideBatch1 = 0x4000000;
constexpr u32 kHideBatch2 = 0x8000000;
constexpr u32 kNoSetupWindow = 0x20000000;

bool HasFlag(u32 flag) { return (payload::ProductFlags() & flag) != 0; }

bool Automatic() { return payload::IsAutomaticMode(); }

int Ask(const core::String& text, i32 caption, u32 style) {
  return payload::ShowBox(payload::SetupWindow(), text.CStr(), payload::GetMessage(caption).CStr(), style);
}

void AddNotRemoved(const char* what) {
  ErrorText().AppendFormat("%s %s\r\n", payload::GetMessage(58).CStr(), what);
}

// --- What Uninstall.DAT may name -----------------------------------------

// No component is empty, "." or ".." or dots and spaces only ('/' counts as
// a separator, as Windows takes it).
bool HasPlainComponents(const char* path, i32 from) {
  const char* p = path + from;
  for (;;) {
    const char* start = p;
    bool onlyDots = true;
    while (*p && *p != '\\' && *p != '/') {
      if (*p != '.' && *p != ' ') onlyDots = false;
      ++p;
    }
    if (p == start || onlyDots) return false;
    if (!*p) return true;
    ++p;
  }
}

// Strictly below folder ("C:\App\x" is below "C:\App" and "C:\App\").
bool IsBelow(const char* path, const core::String& folder) {
  core::String base = folder;
  base.TrimRight("\\");
  if (base.Length() < 2) return false;
  core::String text(path);
  return text.Length() > base.Length() + 1 && text.StartsWithNoCase(base.CStr()) && text[base.Length()] == '\\';
}

// "X:\..." or "\\server\share\...", with plain components after the root.
bool IsPlainAbsolute(const char* path) {
  if (path[0] == '\\' && path[1] == '\\') return HasPlainComponents(path, 2);
  return path[0] != '\0' && path[1] == ':' && path[2] == '\\' && HasPlainComponents(path, 3);
}

// The shell's own keys below HKEY_CLASSES_ROOT, never removed whole.
bool IsShellKey(const core::String& first) {
  static const char* const kShellKeys[] = {"*",         "AllFilesystemObjects", "AppID",    "CLSID",   "Directory",
                                           "Drive",     "Folder",               "Interface", "TypeLib", "Unknown",
                                           "exefile",   "batfile",              "comfile",  "cmdfile", "lnkfile",
                                           "SystemFileAssociations"};
  for (const char* key : kShellKeys)
    if (first.EqualsNoCase(key)) return true;
  return false;
}

// A key below HKEY_CLASSES_ROOT with plain components that is not one of
// the shell's own.
bool IsPlainClassKey(const char* key) {
  if (!key || !*key || key[0] == '\\' || !HasPlainComponents(key, 0)) return false;
  core::String first(key);
  i32 separator = first.Find("\\");
  if (separator >= 0) first.SetLength(separator);
  return !IsShellKey(first);
}

bool IsInstallationFolder(const core::String& path) {
  const payload::InstallFolders& folders = payload::Folders();
  return IsBelow(path.CStr(), folders.installDir) || IsBelow(path.CStr(), folders.sharedDir) ||
         PathsEqual(path.CStr(), folders.sharedDir.CStr());
}

// --- Uninstall.DAT ----------------------------------------------------------

// Cuts text at the first line that is exactly marker (letter case ignored):
// text keeps what is before it, the result is what follows its line.
core::String CutAtMarkerLine(core::String& text, const char* marker) {
  i32 length = static_cast<i32>(core::String(marker).Length());
  for (i32 at = text.Find(marker, 0, core::kFindNoCase); at >= 0;
       at = text.Find(marker, at + 1, core::kFindNoCase)) {
    bool lineStart = at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r';
    char after = text[at + length];
    bool lineEnd = after == '\0' || after == '\r' || after == '\n';
    if (!lineStart || !lineEnd) continue;
    i32 rest = at + length;
    if (text[rest] == '\r') ++rest;
    if (text[rest] == '\n') ++rest;
    core::String tail = text.Mid(rest);
    text.SetLength(at);
    return tail;
  }
  return core::String();
}

struct Association {
  core::String extension;
  core::String fileType;
  core::String verb;
};

core::String TakeField(core::String& rest) {
  i32 at = rest.Find("~!~");
  if (at < 0) {
    core::String all = rest;
    rest.Clear();
    return all;
  }
  core::String field = rest.Left(at);
  rest.Erase(0, at + 3);
  return field;
}

void ReadAssociations(core::String& section, core::Array<Association>& associations) {
  for (i32 i = 0; i < kMaxSectionLines && !section.IsEmpty(); ++i) {
    core::String line = section.TakeLine();
    if (line.IsEmpty()) continue;
    Association record;
    record.extension = TakeField(line);
    record.fileType = TakeField(line);
    record.verb = line;
    if (core::IsBlankText(record.extension.CStr()) || core::IsBlankText(record.fileType.CStr()) ||
        core::IsBlankText(record.verb.CStr()))
      continue;
    associations.Append(static_cast<Association&&>(record));
  }
}

// Messages 1 to 1,000 as "~n" lines, each followed by its text; they become
// the message table of the run (one language).
void ReadStrings(core::String& section) {
  core::Array<core::Array<core::String>> table;
  core::String pending = section;
  for (i32 i = 0; i < kMaxSectionLines && !pending.IsEmpty(); ++i) {
    core::String line = pending.TakeLine();
    if (line[0] != '~') continue;
    i64 number = line.ToNumber();
    core::String text;
    while (!pending.IsEmpty() && pending[0] != '~') text += pending.TakeLineWithBreak();
    if (number < 1 || number > 1000) continue;
    text.TrimRight();
    while (table.Size() <= number) {
      core::Array<core::String> texts;
      texts.Append(core::String());
      table.Append(static_cast<core::Array<core::String>&&>(texts));
    }
    table[static_cast<i32>(number)][0] = text;
  }
  core::Array<core::String> languages;
  languages.Append(core::String());
  payload::SetMessageTable(static_cast<core::Array<core::String>&&>(languages),
                           static_cast<core::Array<core::Array<core::String>>&&>(table));
  payload::SetLanguageIndex(0);
}

// --- The steps --------------------------------------------------------------

// Puts the current key's backup value back as its default value; true when
// there was one.
bool RestoreDefault(const core::String& backupName) {
  core::String backup = system::GetStringValue(backupName.CStr(), "", 0);
  if (core::IsBlankText(backup.CStr())) return false;
  system::SetStringValue("", backup.CStr(), 0);
  system::DeleteValue(backupName.CStr());
  return true;
}

void UndoAssociations(const core::Array<Association>& associations) {
  core::String backupName = payload::Folders().productName;
  backupName += " Backup";
  for (i32 i = 0; i < associations.Size(); ++i) {
    const Association& record = associations[i];
    // An extension is one key of its own; a type never one of the shell's.
    if (record.extension[0] != '.' || record.extension.Find("\\") >= 0 ||
        !IsPlainClassKey(record.extension.CStr()) || !IsRemovableClassKey(record.fileType.CStr()))
      continue;
    bool extensionRestored = false;
    if (system::OpenKey(platform::kClassesRoot, record.extension.CStr(), system::kRegOpenExisting)) {
      extensionRestored = RestoreDefault(backupName);
      system::CloseKey();
    }
    if (!system::OpenKey(platform::kClassesRoot, record.fileType.CStr(), system::kRegOpenExisting)) continue;
    RestoreDefault(backupName);
    if (system::OpenSubKey("shell", system::kRegOpenExisting)) {
      RestoreDefault(backupName);
      if (system::OpenSubKey(record.verb.CStr(), 0)) {
        bool commandRestored = false;
        if (system::OpenSubKey("command", system::kRegOpenExisting)) {
          commandRestored = RestoreDefault(backupName);
          system::CloseKey();
        }
        system::CloseKey();
        if (!commandRestored) system::DeleteSubKey(record.verb.CStr(), 0);
      }
      bool shellUsed = system::HasSubKeys();
      system::CloseKey();
      if (!shellUsed) system::DeleteSubKey("shell", 0);
    }
    bool typeUsed = system::HasSubKeys();
    system::CloseKey();
    if (!typeUsed) {
      system::DeleteKeyPath(platform::kClassesRoot, record.fileType.CStr(), 0);
      if (!extensionRestored) system::DeleteKeyPath(platform::kClassesRoot, record.extension.CStr(), 0);
    }
  }
}

void RemoveFonts() {
  core::String fonts = system::GetStringValue("ProductFonts", "", 0);
  if (fonts.IsEmpty()) return;
  core::String kept;
  bool removed = false;
  while (!fonts.IsEmpty()) {
    fonts.TrimLeft();
    core::String name = fonts.TakeQuoted(0);
    fonts.TrimLeft();
    core::String file = fonts.TakeQuoted(0);
    if (name.IsEmpty() || file.IsEmpty()) break;
    if (!Automatic() && HasFlag(kAskBeforeFonts) &&
        Ask(payload::FormatMessageText(payload::GetMessage(56).CStr(), {name}), 57,
            platform::kBoxYesNo | platform::kBoxIconQuestion) != platform::kIdYes)
      continue;
    // The file is a name in the Fonts folder; one that would leave it is
    // kept on the list and not touched. A font that is not loaded (added in
    // an earlier session, before a restart) cannot be removed from the font
    // table but its file can go; only a file that stays is a failure.
    core::String path = core::JoinPath(FontDir().CStr(), file.CStr());
    bool unloaded = format::IsSafeRecordName(file.CStr()) && platform::RemoveFontFile(file.CStr());
    if (!format::IsSafeRecordName(file.CStr()) || (FileExists(path.CStr()) && !DeleteFile(path.CStr()))) {
      AddNotRemoved(file.CStr());
      kept.AppendFormat("\"%s\" \"%s\" ", name.CStr(), file.CStr());
      continue;
    }
    if (unloaded) removed = true;
  }
  system::SetStringValue("ProductFonts", kept.CStr(), 0);
  if (removed) platform::BroadcastFontChange();
}

// Files of the list, then the folders they were in; what cannot be deleted
// stays on the list for another run.
void RemoveListedFiles(core::String& list) {
  core::Array<core::String> folders;
  system::ClearUninstallList();
  while (!list.IsEmpty()) {
    core::String line = list.TakeLine();
    if (line.IsEmpty()) continue;
    if (line[0] == '~') {
      core::String folder = line.Mid(1);
      if (IsRemovableFolder(folder.CStr())) folders.Append(static_cast<core::String&&>(folder));
    } else if (line[0] == '!') {
      if (IsRemovableClassKey(line.CStr() + 1)) system::DeleteKeyPath(platform::kClassesRoot, line.CStr() + 1, 0);
    } else if (IsRemovableFile(line.CStr()) && FileExists(line.CStr()) && !DeleteFile(line.CStr())) {
      AddNotRemoved(line.CStr());
      system::AddUninstallEntry(line.CStr(), system::kUninstallFile);
    }
  }
  // Deepest first; each emptied folder takes its empty parents with it, up
  // to (not including) the installation folder, and never beyond the
  // installation or shared folder.
  for (i32 i = 1; i < folders.Size(); ++i)
    for (i32 j = i; j > 0 && folders[j].Length() > folders[j - 1].Length(); --j) {
      core::String swap = static_cast<core::String&&>(folders[j]);
      folders[j] = static_cast<core::String&&>(folders[j - 1]);
      folders[j - 1] = static_cast<core::String&&>(swap);
    }
  const payload::InstallFolders& installed = payload::Folders();
  for (i32 i = 0; i < folders.Size(); ++i) {
    core::String folder = folders[i];
    for (i32 step = 0; step < 64; ++step) {
      if (PathsEqual(folder.CStr(), installed.installDir.CStr()) || !IsInstallationFolder(folder)) break;
      if (!RemoveDirectory(folder.CStr())) break;
      if (PathsEqual(folder.CStr(), installed.sharedDir.CStr())) break;
      folder = core::DirectoryOf(folder.CStr());
    }
  }
}

// The product's Start-menu folder and its empty parents, up to (never
// including) the Programs folder.
void RemoveStartMenuFolder() {
  core::String relative = system::GetStringValue("ProductStartMenu", "", 0);
  if (relative.IsEmpty() || !format::IsSafeRecordName(relative.CStr())) return;
  core::String programs = SMProgramsDir();
  core::String folder = core::JoinPath(programs.CStr(), relative.CStr());
  for (i32 step = 0; step < kMaxParentSteps && IsBelow(folder.CStr(), programs); ++step) {
    if (!RemoveDirectory(folder.CStr())) break;
    folder = core::DirectoryOf(folder.CStr());
  }
}

// Counts down the shared files; a file whose count reaches zero is deleted.
// A file without a count is kept: nothing says it was this product's.
void ReleaseSharedFiles() {
  core::String shared = system::GetStringValue("SharedFiles", "", 0);
  if (shared.IsEmpty()) return;
  if (!system::OpenSoftwareKey(kSharedDllsKey, false, 0)) {
    ErrorText() += "REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n";
    return;
  }
  while (!shared.IsEmpty()) {
    core::String path = shared.TakeQuoted(0);
    bool keep = false;
    if (!path.IsEmpty() && path[path.Length() - 1] == ' ') {
      path.SetLength(path.Length() - 1);
      keep = true;
    }
    if (path.IsEmpty()) break;
    if (shared[0] == ';') shared.Erase(0, 1);
    if (!system::ValueExists(path.CStr())) continue;
    i32 count = system::GetNumberValue(path.CStr(), 0, 0);
    if (count > 0) {
      --count;
      system::SetNumberValue(path.CStr(), count, system::kRegDeleteEmpty);
      if (count > 0) continue;
    }
    if (keep || !FileExists(path.CStr()) || !IsRemovableFile(path.CStr())) continue;
    if (!Automatic() && HasFlag(kAskBeforeShared) &&
        Ask(payload::FormatMessageText(payload::GetMessage(59).CStr(), {path}), 35,
            platform::kBoxYesNo | platform::kBoxIconQuestion) != platform::kIdYes)
      continue;
    DeleteFile(path.CStr());
  }
  system::CloseKey();
}

void RemoveProductKeys() {
  core::String path = system::GetStringValue("ProductRegistry", "", 0);
  if (path.IsEmpty()) return;
  for (bool perUser : {false, true}) {
    core::String key = path;
    for (i32 step = 0; step < kMaxParentSteps && !key.IsEmpty(); ++step) {
      if (!system::DeleteSoftwareKey(key.CStr(), perUser, step == 0 ? 0 : system::kRegOnlyIfEmpty)) break;
      core::String parent, name;
      if (!system::SplitKeyPath(key.CStr(), parent, name)) break;
      parent.TrimRight("\\");  // the split keeps the separator
      if (parent.IsEmpty()) break;
      key = parent;
    }
  }
  system::DeleteValue("ProductRegistry");
}

// The whole installation folder, unless it is a folder of the system.
void DeleteInstallationTree() {
  const core::String& folder = payload::Folders().installDir;
  core::String trimmed = folder;
  trimmed.TrimRight("\\");
  if (trimmed.Length() <= 3 || PathsEqual(folder.CStr(), ProgramsDir().CStr()) ||
      PathsEqual(folder.CStr(), payload::GetSystemPaths().windowsDir.CStr()) ||
      PathsEqual(folder.CStr(), SystemDir().CStr()) || PathsEqual(folder.CStr(), CommonFilesDir().CStr()))
    return;
  DeleteTree(folder.CStr());
}

}  // namespace

bool IsRemovableFile(const char* path) {
  if (!path || !IsPlainAbsolute(path)) return false;
  const payload::InstallFolders& folders = payload::Folders();
  if (IsBelow(path, folders.installDir) || IsBelow(path, folders.sharedDir)) return true;
  // The system's folders are looked up once (each is a registry read).
  static core::Lasting<core::Array<core::String>> places;
  core::Array<core::String>& systemPlaces = places.Get();
  if (systemPlaces.IsEmpty()) {
    systemPlaces.Append(payload::GetSystemPaths().windowsDir);
    systemPlaces.Append(SystemDir());
    systemPlaces.Append(FontDir());
    systemPlaces.Append(DesktopDir());
    systemPlaces.Append(StartMenuDir());
    systemPlaces.Append(SMProgramsDir());
    systemPlaces.Append(StartupDir());
  }
  for (i32 i = 0; i < systemPlaces.Size(); ++i)
    if (IsBelow(path, systemPlaces[i])) return true;
  return false;
}

bool IsRemovableFolder(const char* path) {
  return path && IsPlainAbsolute(path) && IsInstallationFolder(core::String(path));
}

bool IsRemovableClassKey(const char* key) {
  if (!IsPlainClassKey(key)) return false;
  // An extension's key is shared by every product that registered a verb for
  // it; associations are undone value by value instead.
  return key[0] != '.';
}

UninstallResult Uninstall() {
  payload::InstallFolders& folders = payload::Folders();
  const core::String& product = folders.productName;
  core::String keyPath(kUninstallKey);
  keyPath += product;
  if (!system::SoftwareKeyExists(keyPath.CStr(), false)) {
    payload::ShowError("No product named '%s' is installed.", product.CStr());
    return UninstallResult::kStopped;
  }
  if (!system::OpenSoftwareKey(keyPath.CStr(), false, system::kRegOpenExisting)) {
    payload::ShowError("Unable to access the uninstall information for:\r\n%s\r\n\r\nThe uninstallation cannot be performed.",
                       product.CStr());
    return UninstallResult::kStopped;
  }
  folders.installDir = system::GetStringValue("InstallLocation", "", 0);
  if (core::IsBlankText(folders.installDir.CStr()) || !IsPlainAbsolute(folders.installDir.CStr())) {
    system::CloseKey();
    payload::ShowError("The uninstall information for %s is corrupt.\r\n\r\nThe uninstallation cannot be performed.",
                       product.CStr());
    return UninstallResult::kStopped;
  }
  payload::SetProductFlags(static_cast<u32>(system::GetNumberValue("ProductFlags", 0, 0)));
  if (HasFlag(kAutomatic)) payload::SetAutomaticMode(true);

  payload::SetupWindowStyle& style = payload::WindowStyle();
  style.displayTitle = system::GetStringValue("DisplayTitle", "", 0);
  style.titleColor = static_cast<u32>(
      system::GetNumberValue("TitleColor", static_cast<i32>(platform::SystemColor(platform::kColorWindowText)), 0));
  style.topColor = static_cast<u32>(
      system::GetNumberValue("TopColor", static_cast<i32>(platform::SystemColor(platform::kColorWindow)), 0));
  style.bottomColor = static_cast<u32>(system::GetNumberValue("BottomColor", 0, 0));
  style.monoColor = system::GetBoolValue("MonoColor", true, 0);
  folders.uninstallSubdir = system::GetStringValue("UninstallSubdir", "", 0);
  if (!format::IsSafeRecordName(folders.uninstallSubdir.CStr())) folders.uninstallSubdir.Clear();
  if (HasFlag(kLoadBackground)) ui::BackgroundBitmap().LoadFromFile(UninstallDataPath("Installer Background.BMP").CStr());
  if (!HasFlag(kNoSetupWindow)) {
    ui::CreateSetupWindow();
    ui::ShowTitle(style.displayTitle.CStr());
  }

  core::String list;
  ReadWholeFile(UninstallDataPath("Uninstall.DAT").CStr(), list);
  core::String strings = CutAtMarkerLine(list, "[Strings]");
  core::String associationsSection = CutAtMarkerLine(strings, "[Associations]");
  core::Array<Association> associations;
  ReadAssociations(associationsSection, associations);
  ReadStrings(strings);

  if (!Automatic() && Ask(payload::GetMessage(53), 55, platform::kBoxYesNo | platform::kBoxIconQuestion) !=
                          platform::kIdYes) {
    system::CloseKey();
    return UninstallResult::kStopped;
  }

  folders.sharedDir = system::GetStringValue("SharedPath", "", 0);
  core::String batch1 = system::GetStringValue("UninstallBatch1", "", 0);
  if (!batch1.IsEmpty()) RunBatch(folders.installDir.CStr(), batch1.CStr(), HasFlag(kHideBatch1));
  system::DeleteValue("UninstallBatch1");

  UndoAssociations(associations);
  RemoveFonts();
  RemoveListedFiles(list);
  DeleteFile(UninstallDataPath("Install.LOG").CStr());
  WriteUninstallData(associationsSection);
  system::ClearUninstallList();
  RemoveStartMenuFolder();
  ReleaseSharedFiles();
  if (!folders.sharedDir.IsEmpty()) RemoveDirectory(folders.sharedDir.CStr());
  RemoveProductKeys();
  if (HasFlag(kDeleteTree)) DeleteInstallationTree();

  if (!ErrorText().IsEmpty()) {
    system::CloseKey();
    if (!Automatic())
      Ask(payload::FormatMessageText(payload::GetMessage(10).CStr(), {ErrorText()}), 20,
          platform::kBoxOk | platform::kBoxIconExclamation);
    return UninstallResult::kFailed;
  }
  DeleteFile(UninstallDataPath("Uninstall.DAT").CStr());
  if (HasFlag(kRemovePath)) {
    core::String failure = ModifyPath(false);
    if (!failure.IsEmpty()) payload::ShowError("%s", failure.CStr());
  }
  core::String batch2 = system::GetStringValue("UninstallBatch2", "", 0);
  if (!batch2.IsEmpty()) {
    char drive = core::DriveLetterOf(folders.installDir.CStr());
    core::String root = drive ? core::Formatted("%c:\\", drive) : core::String();
    RunBatch(root.CStr(), batch2.CStr(), HasFlag(kHideBatch2));
  }
  system::DeleteValue("UninstallBatch2");
  system::DeleteKeyPath("Microsoft\\Windows\\CurrentVersion\\Uninstall", product.CStr(), false, 0);
  system::CloseKey();
  if (!Automatic()) Ask(payload::GetMessage(34), 15, platform::kBoxOk | platform::kBoxIconAsterisk);
  return UninstallResult::kCompleted;
}

core::String SelfDeleteBatch(const char* program, const char* uninstallFolder, const char* installFolder,
                             const char* batchPath) {
  // The uninstaller's file is free once its process has ended: the
  // deletion is tried once a second, at most sixty times.
  core::String text;
  text.AppendFormat("set KOVATRY=\r\n:Repeat\r\ndel \"%s\"\r\nif not exist \"%s\" goto Removed\r\n", program, program);
  text += "set KOVATRY=%KOVATRY%.\r\n";
  text += "if \"%KOVATRY%\"==\"............................................................\" goto Removed\r\n";
  text += "ping -n 2 127.0.0.1 > nul\r\ngoto Repeat\r\n:Removed\r\n";
  if (uninstallFolder && *uninstallFolder) text.AppendFormat("rd \"%s\"\r\n", uninstallFolder);
  text.AppendFormat("rd \"%s\"\r\n", installFolder);
  text.AppendFormat("del \"%s\"\r\n", batchPath);
  return text;
}

void SelfDelete() {
  const payload::InstallFolders& folders = payload::Folders();
  core::String uninstallFolder;
  if (!folders.uninstallSubdir.IsEmpty())
    uninstallFolder = core::JoinPath(folders.installDir.CStr(), folders.uninstallSubdir.CStr());
  // A name of this run's own, so two uninstallations never share a batch.
  core::String batch;
  for (u32 n = platform::TickCount(), tries = 0; tries < 100; ++n, ++tries) {
    batch = core::JoinPath(TempDirectory().CStr(), core::Formatted("KD%06X.BAT", n & 0xFFFFFF).CStr());
    if (!FileExists(batch.CStr())) break;
  }
  core::String program = payload::GetSystemPaths().installerPath;
  core::String text = SelfDeleteBatch(program.CStr(), uninstallFolder.CStr(), folders.installDir.CStr(), batch.CStr());
  // The interpreter's path comes quoted when it holds a blank; it is quoted
  // once.
  core::String interpreter = payload::GetSystemPaths().commandInterpreter;
  core::String command = interpreter[0] == '"' ? interpreter : core::Formatted("\"%s\"", interpreter.CStr());
  command.AppendFormat(" /c \"%s\"", batch.CStr());
  platform::SelfDeletion deletion;
  deletion.program = program.CStr();
  deletion.uninstallFolder = uninstallFolder.CStr();
  deletion.installFolder = folders.installDir.CStr();
  deletion.batchPath = batch.CStr();
  deletion.batchText = text.CStr();
  deletion.commandLine = command.CStr();
  platform::DeleteAfterExit(deletion);
}

}  // namespace kova::install
