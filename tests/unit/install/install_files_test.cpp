// The file loop: targets by type, flags and existing-file modes, the
// replacement decision table with its log lines, writing, files in use,
// shortcut entries, shared-file counts, fonts, uninstall records, progress,
// and damaged streams.
#include "install/install_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "format/install_script.h"
#include "install/directories.h"
#include "install/file_operations.h"
#include "install/file_versions.h"
#include "install/install_fixture.h"
#include "install/installed_file_writer.h"
#include "install/path_text.h"
#include "install/temp_files.h"
#include "payload/fatal.h"
#include "payload/system_paths.h"
#include "platform/directory.h"
#include "platform/version.h"
#include "support/pe_version_image.h"

#ifndef _WIN32
#include "platform/posix/host.h"
#include "platform/posix/pending_renames.h"
#include "support/file_size_limit.h"
#endif

namespace kova::install {
namespace {

using test::Stamp;
using test::TestRecord;

constexpr u32 kUninstallSupport = format::kFlagUninstallSupport;

class InstallFilesTest : public test::InstallTest {
 protected:
  std::string Positions() const {
    std::string positions;
    for (const std::string& call : progress.calls)
      if (call.compare(0, 9, "position ") == 0) positions += call.substr(9) + " ";
    return positions;
  }
  std::vector<std::string> Statuses() const {
    std::vector<std::string> statuses;
    for (const std::string& call : progress.calls)
      if (call.compare(0, 7, "status ") == 0 && call.find(" -> ") != std::string::npos) statuses.push_back(call.substr(7));
    return statuses;
  }
  std::string P(const char* name) const { return Path(name).CStr(); }
  // The files a folder holds whose names begin with prefix.
  std::vector<std::string> FilesIn(const char* folder, const char* prefix) {
    std::vector<std::string> names;
    core::String pattern = core::JoinPath(Path(folder).CStr(), (std::string(prefix) + "*").c_str());
    platform::FindEntry entry;
    platform::ScopedFind find(platform::FindFirst(pattern.CStr(), &entry));
    if (find) {
      do names.push_back(entry.name.CStr());
      while (platform::FindNext(find.Get(), &entry));
    }
    return names;
  }
};

TEST_F(InstallFilesTest, EachTypeGoesToItsFolderWithItsStampAndRecords) {
  std::vector<TestRecord> records = {
      {"docs\\readme.txt", 0, 0, "read me", Stamp(2001, 2, 3, 4, 5, 6), "", "", ""},
      {"kova.dll", 1, 0, "shared", Stamp(2002, 1, 1), "", "", ""},
      {"kova.ttf", 4, 0, "font", Stamp(2003, 1, 1), "Kova Sans", "", ""},
      {"kovasys.dll", 6, 0, "system", Stamp(2004, 1, 1), "1.0", "", ""},
  };
  u32 options = kUninstallSupport | format::kFlagLogEveryFile;
  ASSERT_EQ(Install(records, options), 0);

  EXPECT_EQ(Get("App\\docs\\readme.txt"), "read me");
  EXPECT_EQ(Get("Shared\\kova.dll"), "shared");
  EXPECT_EQ(Get("Fonts\\kova.ttf"), "font");
  EXPECT_EQ(Get("System\\kovasys.dll"), "system");
  EXPECT_TRUE(DirectoryExists(Path("App\\Uninstall").CStr()));
  format::FileStamp stamp = StampOf("App\\docs\\readme.txt");
  EXPECT_EQ(CompareStamps(stamp, Stamp(2001, 2, 3, 4, 5, 6)), 0);

  // Only the installation-directory file and its own folder are recorded.
  EXPECT_EQ(UninstallList(), "~" + P("App\\docs") + "\r\n" + P("App\\docs\\readme.txt") + "\r\n");
  // The shared-file list, the counts (named without the permanence space) and SharedFiles.
  ASSERT_EQ(output.sharedFileList.Size(), 2);
  EXPECT_EQ(std::string(output.sharedFileList[0].CStr()), P("Shared\\kova.dll"));
  EXPECT_EQ(std::string(output.sharedFileList[1].CStr()), P("System\\kovasys.dll") + " ");
  EXPECT_EQ(SharedCount(Path("Shared\\kova.dll")), 1);
  EXPECT_EQ(SharedCount(Path("System\\kovasys.dll")), 1);
  EXPECT_EQ(std::string(output.sharedFiles.CStr()),
            "\"" + P("Shared\\kova.dll") + "\";\"" + P("System\\kovasys.dll") + " \"");

  std::vector<std::string> statuses = {"docs\\readme.txt -> " + P("App\\docs\\readme.txt"),
                                        "kova.dll -> " + P("Shared\\kova.dll"),
                                        "kova.ttf -> " + P("Fonts\\kova.ttf"),
                                        "kovasys.dll -> " + P("System\\kovasys.dll")};
  // A font file that is none is refused, by Windows and by the sandbox
  // alike: the font counts as not installed.
  statuses.erase(statuses.begin() + 2);
  EXPECT_EQ(Errors(), "message 31 " + P("Fonts\\kova.ttf") + "\r\n");
  EXPECT_STREQ(output.productFonts.CStr(), "");
  EXPECT_FALSE(output.fontsChanged);
  EXPECT_EQ(Statuses(), statuses);
  std::string log;
  for (const std::string& line : statuses) log += line + "\r\n";
  EXPECT_EQ(Log(), log);
  // Four files: one position before each, then 87 and the next phase's 90.
  EXPECT_EQ(Positions(), "36 45 55 65 75 87 90 ");
  EXPECT_FALSE(output.restartNeeded);
  EXPECT_EQ(output.filesWritten, 4);
}

// The replacement decision table, one record against one existing file per
// row, with the exact log line.
TEST_F(InstallFilesTest, ReplacementDecisionTable) {
  const format::FileStamp existingStamp = Stamp(2010, 6, 15, 12, 30, 0);
  const format::FileStamp older = Stamp(2009, 1, 1), newer = Stamp(2011, 1, 1);
  struct Row {
    const char* what;
    u32 type;
    const char* existingVersion;  // null: no existing file; "": a file without a version resource
    format::FileStamp stamp;
    const char* version;          // text 1
    const char* line;             // after the target; null: nothing logged
    bool written;
  } rows[] = {
      {"shared, new", 1, nullptr, newer, "", nullptr, true},
      {"shared, same stamp", 1, "", existingStamp, "", " is up to date.\r\n", false},
      {"shared, newer existing", 1, "", older, "", " is up to date.\r\n", false},
      {"shared, older existing", 1, "", newer, "", " is out of date and will be replaced.\r\n", true},
      {"shared, no stamp", 1, "", format::FileStamp(), "", " is out of date and will be replaced.\r\n", true},
      {"font, same stamp", 4, "", existingStamp, "", " is up to date.\r\n", false},
      {"font, no stamp", 4, "", format::FileStamp(), "", " is out of date and will be replaced.\r\n", true},
      {"system, new", 6, nullptr, older, "1.0", nullptr, true},
      {"system, older existing", 6, "", newer, "", " is out of date and will be replaced.\r\n", true},
      {"system, same stamp", 6, "", existingStamp, "", " was not installed because its date is not newer.\r\n", false},
      {"system, zero stamp", 6, "", format::FileStamp(), "", " was not installed because its date is not newer.\r\n", false},
      {"system, newer version, older stamp", 6, "1.0", older, "2.0",
       " was not installed because its date is not newer.\r\n", false},
      {"system, newer version and stamp", 6, "1.0", newer, "2.0", " is out of date and will be replaced.\r\n", true},
      {"system, same version, newer stamp", 6, "2.0", newer, "2.0",
       " was not installed because its version is not newer.\r\n", false},
      {"system, older version", 6, "2.1", newer, "2.0.9", " was not installed because its version is not newer.\r\n", false},
      {"system, no version text: stamp alone", 6, "9.0", newer, "", " is out of date and will be replaced.\r\n", true},
      {"system, existing without version", 6, "", newer, "1.0", " is out of date and will be replaced.\r\n", true},
  };
  int n = 0;
  for (const Row& row : rows) {
    ResetLists();
    std::string name = "f" + std::to_string(++n) + ".dll";
    const char* folder = row.type == 1 ? "Shared\\" : row.type == 4 ? "Fonts\\" : "System\\";
    std::string file = folder + name;
    if (row.existingVersion) {
      if (*row.existingVersion) PutBytes(file.c_str(), test::PeWithVersionBlock(test::VersionBlock(row.existingVersion)));
      else Put(file.c_str(), "old");
      SetStamp(file.c_str(), existingStamp);
    }
    std::string before = Get(file.c_str());
    ASSERT_EQ(Install({{name, row.type, 0, "new", row.stamp, row.version, "", ""}}), 0) << row.what;
    EXPECT_EQ(Log(), row.line ? P(file.c_str()) + row.line : "") << row.what;
    EXPECT_EQ(Get(file.c_str()), row.written ? "new" : before) << row.what;
    if (row.type != 4) {
      EXPECT_EQ(output.sharedFileList.Size(), 1) << row.what;  // listed, written or not
    }
  }
}

TEST_F(InstallFilesTest, ASharedFileThatIsUpToDateIsStillCounted) {
  Put("Shared\\same.dll", "old");
  SetStamp("Shared\\same.dll", Stamp(2000, 1, 1));
  ASSERT_EQ(Install({{"same.dll", 1, 0, "new", Stamp(2000, 1, 1), "", "", ""}}, kUninstallSupport), 0);
  EXPECT_EQ(Get("Shared\\same.dll"), "old");
  EXPECT_EQ(SharedCount(Path("Shared\\same.dll")), 1);
  EXPECT_EQ(output.filesWritten, 0);
}

TEST_F(InstallFilesTest, ExistingFileModes) {
  Put("App\\there4.txt", "old");
  Put("App\\there8.txt", "old");
  Put("App\\there12.txt", "old");
  Put("App\\kept12.txt", "old");
  std::vector<TestRecord> records = {
      {"never.txt", 0, 0x4, "new", {}, "", "", ""},        // mode 4: never
      {"there4.txt", 0, 0x4, "new", {}, "", "", ""},
      {"missing8.txt", 0, 0x8, "new", {}, "", "", ""},     // mode 8: only over an existing file
      {"there8.txt", 0, 0x8, "new", {}, "", "", ""},
      {"there12.txt", 0, 0xC, "new", {}, "", "", ""},      // mode 12: only when missing,
      {"kept12.txt", 0, 0xC | 0x20, "new", {}, "", "", ""},  // the existing one recorded unless permanent
      {"missing12.txt", 0, 0xC, "new", {}, "", "", ""},
  };
  ASSERT_EQ(Install(records), 0);
  EXPECT_FALSE(Exists("App\\never.txt"));
  EXPECT_EQ(Get("App\\there4.txt"), "old");
  EXPECT_FALSE(Exists("App\\missing8.txt"));
  EXPECT_EQ(Get("App\\there8.txt"), "new");
  EXPECT_EQ(Get("App\\there12.txt"), "old");
  EXPECT_EQ(Get("App\\kept12.txt"), "old");
  EXPECT_EQ(Get("App\\missing12.txt"), "new");
  EXPECT_EQ(UninstallList(), P("App\\there8.txt") + "\r\n" + P("App\\there12.txt") + "\r\n" +
                                 P("App\\missing12.txt") + "\r\n");
}

TEST_F(InstallFilesTest, WholeDirectoryRemovalOrPermanenceRecordsNothingOneByOne) {
  std::vector<TestRecord> records = {{"sub\\a.txt", 0, 0, "a", {}, "", "", ""},
                                     {"sub2\\b.txt", 5, 0, "b", {}, "", "", ""}};
  ASSERT_EQ(Install(records, format::kFlagRemoveInstallDir), 0);
  EXPECT_EQ(Get("App\\sub\\a.txt"), "a");
  EXPECT_EQ(Get("App\\sub2\\b.txt"), "b");
  EXPECT_EQ(UninstallList(), "");

  ResetLists();
  ASSERT_EQ(Install({{"sub3\\c.txt", 0, 0x20, "c", {}, "", "", ""}, {"d.txt", 0, 0, "d", {}, "", "", ""}}), 0);
  EXPECT_EQ(UninstallList(), P("App\\d.txt") + "\r\n");
}

TEST_F(InstallFilesTest, UninstallFolderFlag) {
  ASSERT_EQ(Install({{"unins.ico", 0, 0x40, "icon", {}, "", "", ""}, {"s.dll", 1, 0x40, "s", {}, "", "", ""}}), 0);
  EXPECT_EQ(Get("App\\Uninstall\\unins.ico"), "icon");
  EXPECT_EQ(Get("App\\Uninstall\\s.dll"), "s");
  // The file is recorded (type 0), its folder is not; the shared-file list
  // keeps the shared folder's path.
  EXPECT_EQ(UninstallList(), P("App\\Uninstall\\unins.ico") + "\r\n");
  EXPECT_EQ(std::string(output.sharedFileList[0].CStr()), P("Shared\\s.dll"));
}

TEST_F(InstallFilesTest, ShortcutEntries) {
  std::vector<TestRecord> records = {
      {"bin\\app.exe", 0, 0x1, "x", {}, "", "", "/q"},          // desktop; name from message 38
      {"tool.exe", 0, 0x2 | 0x20, "x", {}, "Tool", "tool.ico", ""},  // programs menu, permanent, icon
      {"run.exe", 5, 0, "x", {}, "Runner", "", "%InstallDir%\\cfg"},  // startup
      {"plain.txt", 0, 0, "x", {}, "not a shortcut", "", ""},
  };
  ASSERT_EQ(Install(records), 0);
  const core::Array<ShortcutEntry>& entries = ShortcutEntries();
  ASSERT_EQ(entries.Size(), 3);
  EXPECT_TRUE(entries[0].desktop);
  EXPECT_FALSE(entries[0].programsMenu);
  EXPECT_EQ(std::string(entries[0].target.CStr()), P("App\\bin\\app.exe"));
  EXPECT_STREQ(entries[0].name.CStr(), "Shortcut to app.exe");
  EXPECT_STREQ(entries[0].iconPath.CStr(), "");
  EXPECT_STREQ(entries[0].arguments.CStr(), "/q");
  EXPECT_TRUE(entries[1].programsMenu);
  EXPECT_TRUE(entries[1].permanent);
  EXPECT_STREQ(entries[1].name.CStr(), "Tool");
  EXPECT_EQ(std::string(entries[1].iconPath.CStr()), P("App\\Uninstall\\tool.ico"));
  EXPECT_TRUE(entries[2].startup);
  EXPECT_FALSE(entries[2].desktop || entries[2].programsMenu);
  EXPECT_STREQ(entries[2].arguments.CStr(), "%InstallDir%\\cfg");
}

TEST_F(InstallFilesTest, SharedDllsCountsAndReinstallation) {
  core::String kept = Path("Shared\\kept.dll"), once = Path("Shared\\once.dll"), gone = Path("Shared\\gone.dll");
  core::String system = Path("System\\sys.dll");
  // An earlier installation of the product counted all four; kept and sys
  // were counted by another product as well.
  SetSharedCount(kept, 2);
  SetSharedCount(once, 1);
  SetSharedCount(gone, 1);
  SetSharedCount(system, 3);
  install::InstallFilesInput input = InputFor({{"kept.dll", 1, 0x20, "k", {}, "", "", ""},
                                               {"once.dll", 1, 0, "o", {}, "", "", ""},
                                               {"sys.dll", 6, 0, "s", {}, "", "", ""}},
                                              kUninstallSupport);
  input.reinstall = true;
  input.previousSharedFiles = core::Formatted("\"%s \";\"%s\";\"%s\";\"%s \"", kept.CStr(), once.CStr(), gone.CStr(),
                                              system.CStr());
  ASSERT_EQ(Install(input), 0);
  EXPECT_EQ(SharedCount(kept), 2);    // 2 - 1 + 1
  EXPECT_EQ(SharedCount(once), 1);    // 1: deleted, then counted anew
  EXPECT_EQ(SharedCount(gone), -1);   // no longer installed: its value is gone
  EXPECT_EQ(SharedCount(system), 3);
  EXPECT_EQ(std::string(output.sharedFiles.CStr()),
            "\"" + P("Shared\\kept.dll") + " \";\"" + P("Shared\\once.dll") + "\";\"" + P("System\\sys.dll") + " \"");

  // A first installation only adds; without uninstall support nothing is counted.
  ResetLists();
  ASSERT_EQ(Install({{"once.dll", 1, 0, "o", {}, "", "", ""}}, kUninstallSupport), 0);
  EXPECT_EQ(SharedCount(once), 2);
  ResetLists();
  ASSERT_EQ(Install({{"once.dll", 1, 0, "o", {}, "", "", ""}}), 0);
  EXPECT_EQ(SharedCount(once), 2);
  EXPECT_STREQ(output.sharedFiles.CStr(), "");
}

// Folders are made once for a run of files in them; files that come back to
// a folder, or go one deeper, still find theirs, each recorded once. A folder
// that cannot be made is tried again for each of its files.
TEST_F(InstallFilesTest, FoldersOfFilesInAnyOrder) {
  PutBytes("App\\blocked", {'x'});
  std::vector<TestRecord> records = {
      {"a\\1.txt", 0, 0, "a1", {}, "", "", ""},      {"b\\1.txt", 0, 0, "b1", {}, "", "", ""},
      {"a\\2.txt", 0, 0, "a2", {}, "", "", ""},      {"a\\c\\3.txt", 0, 0, "c3", {}, "", "", ""},
      {"a\\4.txt", 0, 0, "a4", {}, "", "", ""},      {"blocked\\1.txt", 0, 0, "x1", {}, "", "", ""},
      {"blocked\\2.txt", 0, 0, "x2", {}, "", "", ""},
  };
  ASSERT_EQ(Install(records, kUninstallSupport), 0);
  EXPECT_EQ(Get("App\\a\\1.txt"), "a1");
  EXPECT_EQ(Get("App\\b\\1.txt"), "b1");
  EXPECT_EQ(Get("App\\a\\2.txt"), "a2");
  EXPECT_EQ(Get("App\\a\\c\\3.txt"), "c3");
  EXPECT_EQ(Get("App\\a\\4.txt"), "a4");
  EXPECT_EQ(output.filesWritten, 5);
  std::string list;
  for (const char* line : {"~a", "a\\1.txt", "~b", "b\\1.txt", "a\\2.txt", "~a\\c", "a\\c\\3.txt", "a\\4.txt",
                           "~blocked", "blocked\\1.txt", "blocked\\2.txt"}) {
    bool folder = line[0] == '~';
    list += (folder ? "~" : "") + P((std::string("App\\") + (line + folder)).c_str()) + "\r\n";
  }
  EXPECT_EQ(UninstallList(), list);
  std::string errors;
  for (const char* name : {"1.txt", "2.txt"})
    errors += "message 25 " + P("App\\blocked") + "\r\nmessage 31 " + P((std::string("App\\blocked\\") + name).c_str()) + "\r\n";
  EXPECT_EQ(Errors(), errors);
}

TEST_F(InstallFilesTest, AFileForAnEmptyFolderIsNotInstalledAnywhere) {
  install::InstallFilesInput input = InputFor({{"s.dll", 1, 0, "s", {}, "", "", ""}});
  input.sharedDir.Clear();  // the shared directory is cleared without uninstall support
  ASSERT_EQ(Install(input), 0);
  EXPECT_FALSE(Exists("s.dll"));
  EXPECT_EQ(Errors(), "message 31 s.dll\r\n");
}

// A shared file in use is written to a new "KVT" file in the installation
// directory and replaced when Windows restarts.
TEST_F(InstallFilesTest, ASharedFileInUseIsReplacedAtTheRestart) {
  Put("Shared\\busy.dll", "old");
  core::String busy = Path("Shared\\busy.dll");
  platform::ScopedFile held(platform::OpenFileHandle(busy.CStr(), platform::kAccessRead | platform::kAccessWrite, 0,
                                                     platform::kOpenExisting, platform::kAttributeNormal));
  ASSERT_TRUE(held);
#ifdef _WIN32
  // The pending moves of the Wine prefix are put back as they were.
  const char* sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  platform::RegistryKey key = 0;
  ASSERT_EQ(platform::OpenRegistryKey(platform::kLocalMachine, sessionManager, &key), platform::kErrorSuccess);
  u32 type = 0, size = 0;
  bool hadMoves = platform::QueryRegistryValue(key, "PendingFileRenameOperations", &type, nullptr, &size) ==
                  platform::kErrorSuccess;
  std::vector<u8> moves(size);
  if (hadMoves) platform::QueryRegistryValue(key, "PendingFileRenameOperations", &type, moves.data(), &size);
#endif

  ASSERT_EQ(Install({{"busy.dll", 1, 0, "new", {}, "", "", ""}}), 0);
  held.Reset();
  EXPECT_EQ(Get("Shared\\busy.dll"), "old");
  std::vector<std::string> temporary = FilesIn("App", "KVT");
  ASSERT_EQ(temporary.size(), 1u);
  std::string temporaryName = "App\\" + temporary[0];
  EXPECT_EQ(Get(temporaryName.c_str()), "new");
  EXPECT_TRUE(output.restartNeeded);
  EXPECT_TRUE(payload::ProductFlags() & format::kFlagRestartPending);
  core::String shortTemporary = ShortPath(Path(temporaryName.c_str()).CStr());
  EXPECT_EQ(Statuses(), std::vector<std::string>{std::string("busy.dll -> ") + shortTemporary.CStr()});
  EXPECT_EQ(Errors(), "");

#ifdef _WIN32
  std::vector<u8> after(65536);
  u32 afterSize = static_cast<u32>(after.size());
  ASSERT_EQ(platform::QueryRegistryValue(key, "PendingFileRenameOperations", &type, after.data(), &afterSize),
            platform::kErrorSuccess);
  std::string recorded(reinterpret_cast<const char*>(after.data()), afterSize);
  std::string target = P("Shared\\busy.dll");
  EXPECT_NE(recorded.find(target.substr(3)), std::string::npos) << "the move names the occupied file";
  if (hadMoves)
    platform::SetRegistryValue(key, "PendingFileRenameOperations", type, moves.data(), size);
  else
    platform::DeleteRegistryValue(key, "PendingFileRenameOperations");
  platform::CloseRegistryKey(key);
#else
  core::Array<platform::posix::PendingRename> renames;
  ASSERT_TRUE(platform::posix::ReadPendingRenames(&renames));
  ASSERT_EQ(renames.Size(), 1);
  EXPECT_TRUE(PathsEqual(renames[0].to.CStr(), busy.CStr())) << renames[0].to.CStr();
  EXPECT_TRUE(renames[0].replace);
#endif
}

#ifndef _WIN32
// Windows 95 and 98 have no MoveFileExA: the replacement goes into the
// section [rename] of wininit.ini, the occupied path as the key.
TEST_F(InstallFilesTest, OnWindows9xTheReplacementGoesIntoWininit) {
  platform::posix::SetOsVersion(4, 10, 1998, platform::kPlatformWindows, "");
  Put("System\\busy.sys", "old");
  SetStamp("System\\busy.sys", Stamp(2000, 1, 1));
  core::String busy = Path("System\\busy.sys");
  // Held as a loaded DLL is: readable (so its stamp can be compared), not writable.
  platform::ScopedFile held(platform::OpenFileHandle(busy.CStr(), platform::kAccessRead, platform::kShareRead,
                                                     platform::kOpenExisting, platform::kAttributeNormal));
  i32 code = Install({{"busy.sys", 6, 0, "new", Stamp(2030, 1, 1), "", "", ""}});
  platform::posix::SetOsVersion(5, 1, 2600, platform::kPlatformNt, "Service Pack 3");
  ASSERT_EQ(code, 0);
  std::vector<std::string> temporary = FilesIn("App", "KVT");
  ASSERT_EQ(temporary.size(), 1u);
  core::String shortTemporary = ShortPath(Path(("App\\" + temporary[0]).c_str()).CStr());
  core::String wininit = core::JoinPath(payload::GetSystemPaths().windowsDir.CStr(), "wininit.ini");
  platform::ScopedFile file(platform::OpenFileHandle(wininit.CStr(), platform::kAccessRead, platform::kShareRead,
                                                     platform::kOpenExisting, platform::kAttributeNormal));
  ASSERT_TRUE(file);
  char text[1024] = {};
  u32 done = 0;
  platform::ReadFileData(file.Get(), text, sizeof text - 1, &done);
  EXPECT_EQ(std::string(text), "[rename]\r\n" + std::string(busy.CStr()) + "=" + shortTemporary.CStr() + "\r\n");
  EXPECT_TRUE(output.restartNeeded);
  core::Array<platform::posix::PendingRename> renames;
  ASSERT_TRUE(platform::posix::ReadPendingRenames(&renames));
  EXPECT_EQ(renames.Size(), 0);
}
#endif

// A file of the installation directory in use is not replaced later: three
// attempts fail, its uninstall record has been made all the same.
TEST_F(InstallFilesTest, AnInstallDirectoryFileInUseFails) {
  Put("App\\busy.exe", "old");
  platform::ScopedFile held(platform::OpenFileHandle(Path("App\\busy.exe").CStr(),
                                                     platform::kAccessRead | platform::kAccessWrite, 0,
                                                     platform::kOpenExisting, platform::kAttributeNormal));
  ASSERT_EQ(Install({{"busy.exe", 0, 0, "new", {}, "", "", ""}, {"next.txt", 0, 0, "next", {}, "", "", ""}}), 0);
  held.Reset();
  EXPECT_EQ(Get("App\\busy.exe"), "old");
  EXPECT_EQ(Get("App\\next.txt"), "next");
  EXPECT_EQ(Errors(), "message 31 " + P("App\\busy.exe") + "\r\n");
  EXPECT_EQ(UninstallList(), P("App\\busy.exe") + "\r\n" + P("App\\next.txt") + "\r\n");
  EXPECT_EQ(Statuses(), std::vector<std::string>{"next.txt -> " + P("App\\next.txt")});
  EXPECT_FALSE(output.restartNeeded);
}

// The read-back of a written file, around the size of its read block.
TEST_F(InstallFilesTest, FileHoldsDataComparesEveryByte) {
  for (i32 size : {0, 1, 65535, 65536, 65537, 200000}) {
    SCOPED_TRACE(size);
    std::vector<u8> data(static_cast<size_t>(size));
    for (i32 i = 0; i < size; ++i) data[static_cast<size_t>(i)] = static_cast<u8>(i * 7 + i / 251);
    PutBytes("App\\held.bin", data);
    const core::String path = Path("App\\held.bin");
    EXPECT_TRUE(FileHoldsData(path.CStr(), data.data(), size));
    std::vector<u8> longer = data;
    longer.push_back(1);
    EXPECT_FALSE(FileHoldsData(path.CStr(), longer.data(), size + 1));
    for (i32 at : {0, size / 2, 65536, size - 1}) {
      if (at < 0 || at >= size) continue;
      std::vector<u8> other = data;
      other[static_cast<size_t>(at)] ^= 0x80;
      EXPECT_FALSE(FileHoldsData(path.CStr(), other.data(), size)) << "byte " << at;
    }
  }
  EXPECT_FALSE(FileHoldsData(Path("App\\missing.bin").CStr(), nullptr, 0));
}

TEST_F(InstallFilesTest, ReadOnlyTargetsAndVerification) {
  Put("App\\ro.txt", "old");
  ASSERT_TRUE(SetReadOnly(Path("App\\ro.txt").CStr(), true));
#ifndef _WIN32
  // Wine leaves read-only files to the host's permissions, which root
  // passes: there the write would succeed.
  ASSERT_EQ(Install({{"ro.txt", 0, 0, "new", {}, "", "", ""}}), 0);
  EXPECT_EQ(Get("App\\ro.txt"), "old");
  EXPECT_EQ(Errors(), "message 31 " + P("App\\ro.txt") + "\r\n");
  ResetLists();
#endif
  ASSERT_EQ(Install({{"ro.txt", 0, 0, "new", {}, "", "", ""}},
                    format::kFlagClearReadOnly | format::kFlagVerifyFiles),
            0);
  EXPECT_EQ(Get("App\\ro.txt"), "new");
#ifndef _WIN32
  EXPECT_FALSE(platform::FileAttributesOf(Path("App\\ro.txt").CStr()) & platform::kAttributeReadOnly);
#endif
  EXPECT_EQ(Errors(), "");
}

#ifndef _WIN32
// A disk that fills up during a write: the file that could not be written
// whole does not stay under its name (whether it is new or replaced an old
// one), its line is in the error text, and the loop goes on.
TEST_F(InstallFilesTest, AFileCutShortByAFullDiskDoesNotStayUnderItsName) {
  Put("App\\old.txt", "old");
  const std::string big(4096, 'b');
  for (u32 options : {0u, format::kFlagVerifyFiles}) {
    SCOPED_TRACE(options);
    i32 code;
    {
      test::FileSizeLimit full(1024);
      code = Install({{"small.txt", 0, 0, "small", {}, "", "", ""},
                      {"big.txt", 0, 0, big, {}, "", "", ""},
                      {"old.txt", 0, 0, big, {}, "", "", ""},
                      {"next.txt", 0, 0, "next", {}, "", "", ""}},
                     options);
    }
    ASSERT_EQ(code, 0);
    EXPECT_EQ(Get("App\\small.txt"), "small");
    EXPECT_FALSE(FileExists(P("App\\big.txt").c_str()));
    EXPECT_FALSE(FileExists(P("App\\old.txt").c_str()));
    EXPECT_EQ(Get("App\\next.txt"), "next");
    EXPECT_EQ(Errors(), "message 31 " + P("App\\big.txt") + "\r\n" + "message 31 " + P("App\\old.txt") + "\r\n");
    ResetLists();
  }
}
#endif

// Damage stops the loop with its code; the files before the damaged record
// are written, nothing of it or after it.
TEST_F(InstallFilesTest, DamagedStreamsStopBeforeTheDamagedRecordIsWritten) {
  std::vector<TestRecord> records = {{"first.txt", 0, 0, "first", {}, "", "", ""},
                                     {"second.txt", 0, 0, "second", {}, "", "", ""}};
  {
    install::InstallFilesInput input = InputFor(records);
    input.stream.checksum ^= 1;
    EXPECT_EQ(Install(input), format::kCorruptStreamChecksum);
    EXPECT_FALSE(Exists("App\\first.txt"));
  }
  struct Case {
    const char* what;
    TestRecord second;
    i32 sizeChange;  // of the second entry of the size table
    i32 code;
  } cases[] = {
      {"checksum", {"second.txt", 0, 0, "second", {}, "", "", ""}, -1, format::kCorruptRecordChecksum},
      {"past the end", {"second.txt", 0, 0, "second", {}, "", "", ""}, 100, format::kCorruptRecordSizeTooLarge},
      {"unknown type", {"second.txt", 3, 0, "second", {}, "", "", ""}, 0, format::kCorruptRecordType},
      {"name leaving the folder", {"..\\second.txt", 0, 0, "second", {}, "", "", ""}, 0, format::kCorruptRecordName},
  };
  for (const Case& c : cases) {
    ResetLists();
    DeleteTree(Path("App").CStr());
    platform::MakeDirectory(Path("App").CStr());
    install::InstallFilesInput input = InputFor({records[0], c.second});
    sizes_[1] += c.sizeChange;
    EXPECT_EQ(Install(input), c.code) << c.what;
    EXPECT_EQ(Get("App\\first.txt"), "first") << c.what;
    EXPECT_FALSE(Exists("App\\second.txt")) << c.what;
    EXPECT_FALSE(Exists("second.txt")) << c.what;
  }
  // More files in the table than records in the stream.
  ResetLists();
  install::InstallFilesInput input = InputFor(records);
  sizes_.Append(0);
  EXPECT_EQ(Install(input), format::kCorruptRecordName);
}

}  // namespace
}  // namespace kova::install
