// The POSIX sandbox itself: where Windows paths land on the host, the drive
// folders and the Windows directory made on first use, 8.3 aliases, moves
// recorded for the next restart, the reported system version, and deleting
// never following a link out of the tree. (Native only: under Windows there
// is no sandbox.)
#ifndef _WIN32
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "install/directories.h"
#include "platform/file_system.h"
#include "platform/posix/folder_cache.h"
#include "platform/posix/host.h"
#include "platform/posix/pending_renames.h"
#include "platform/posix/sandbox_paths.h"
#include "platform/version.h"
#include "support/file_system_fixture.h"

namespace kova::platform::posix {
namespace {

using SandboxTest = test::FileSystemTest;

bool IsHostFolder(const std::string& path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TEST_F(SandboxTest, DrivesAndTheWindowsDirectory) {
  for (const char* folder : {"/drive_c", "/drive_c/WINDOWS", "/drive_c/WINDOWS/SYSTEM", "/drive_c/WINDOWS/SYSTEM32",
                             "/drive_c/WINDOWS/Fonts", "/drive_c/TEMP"})
    EXPECT_TRUE(IsHostFolder(hostRoot_ + folder)) << folder;

  SandboxPath resolved;
  ASSERT_TRUE(ResolvePath("c:\\windows\\system\\New File.txt", &resolved));
  EXPECT_EQ(std::string(resolved.host.CStr()), hostRoot_ + "/drive_c/WINDOWS/SYSTEM/New File.txt");
  EXPECT_STREQ(resolved.windows.CStr(), "C:\\windows\\system\\New File.txt");
  EXPECT_FALSE(resolved.exists);

  // Other drives exist when their folder does.
  EXPECT_FALSE(ResolvePath("D:\\x", &resolved));
  EXPECT_EQ(LastSystemError(), kErrorPathNotFound);
  ASSERT_EQ(mkdir((hostRoot_ + "/drive_d").c_str(), 0777), 0);
  EXPECT_TRUE(ResolvePath("d:\\x", &resolved));
  EXPECT_EQ(std::string(resolved.host.CStr()), hostRoot_ + "/drive_d/x");

  // Z: is the host; nothing climbs out of a drive folder.
  ASSERT_TRUE(ResolvePath("Z:\\tmp", &resolved));
  EXPECT_STREQ(resolved.host.CStr(), "/tmp");
  ASSERT_TRUE(ResolvePath("C:\\..\\..\\..\\passwd", &resolved));
  EXPECT_EQ(std::string(resolved.host.CStr()), hostRoot_ + "/drive_c/passwd");
  EXPECT_FALSE(resolved.exists);
  EXPECT_FALSE(ResolvePath("\\\\server\\share\\x", &resolved));
  EXPECT_EQ(LastSystemError(), kErrorBadNetPath);
  EXPECT_FALSE(ResolvePath("1:\\x", &resolved));
  EXPECT_EQ(LastSystemError(), kErrorInvalidName);

  EXPECT_STREQ(WindowsPathOfHost((hostRoot_ + "/drive_c/a/b").c_str()).CStr(), "C:\\a\\b");
  EXPECT_STREQ(WindowsPathOfHost((hostRoot_ + "/drive_c").c_str()).CStr(), "C:\\");
  EXPECT_STREQ(WindowsPathOfHost("/usr/bin/").CStr(), "Z:\\usr\\bin");
  EXPECT_STREQ(WindowsPathOfHost("/").CStr(), "Z:\\");
}

TEST_F(SandboxTest, DriveRelativePathsUseTheCurrentDirectory) {
  SandboxPath resolved;
  ASSERT_TRUE(ResolvePath("C:name.txt", &resolved));
  EXPECT_STREQ(resolved.windows.CStr(), Path("name.txt").CStr());
  ASSERT_TRUE(ResolvePath("Z:name.txt", &resolved));  // another drive: its root
  EXPECT_STREQ(resolved.windows.CStr(), "Z:\\name.txt");
  ASSERT_TRUE(ResolvePath("\\rooted.txt", &resolved));
  EXPECT_STREQ(resolved.windows.CStr(), "C:\\rooted.txt");
}

// The Windows rules a path keeps in the sandbox, whatever the resolver does
// to be fast: the length the ANSI calls refuse, where wildcards are allowed,
// which names lose their trailing dots and spaces, and letter case.
TEST_F(SandboxTest, PathRulesOfWindows) {
  // A folder whose name ends in a space, as another system may leave one
  // (CreateDirectoryA would take the space off).
  SandboxPath here;
  ASSERT_TRUE(ResolvePath(Path("x").CStr(), &here));
  ASSERT_EQ(mkdir((std::string(here.hostParent.CStr()) + "/Folder ").c_str(), 0777), 0);
  Put("Folder \\Data.Txt", "x");
  std::string dir = Path("x").CStr();
  dir.pop_back();  // with its trailing backslash
  // A path of n characters in all: dir, then "a" repeated.
  auto ofLength = [&](std::size_t n) { return dir + std::string(n - dir.size(), 'a'); };
  struct Case {
    std::string path;
    u32 options;
    SystemError error;       // kErrorSuccess: resolved
    const char* windowsEnd;  // the end of the resolved Windows form
    bool exists;
  } cases[] = {
      // MAX_PATH counts the NUL: 259 characters are a path, 260 are not.
      {ofLength(259), 0, kErrorSuccess, "aaaa", false},
      {ofLength(260), 0, kErrorFilenameTooLong, nullptr, false},
      {ofLength(270), 0, kErrorFilenameTooLong, nullptr, false},
      // Wildcards only in the last name, and only for file specifications.
      {dir + "*.txt", kResolveWildcards, kErrorSuccess, "\\*.txt", false},
      {dir + "*.txt", 0, kErrorInvalidName, nullptr, false},
      {dir + "Fold?r \\Data.Txt", kResolveWildcards, kErrorInvalidName, nullptr, false},
      {dir + "F*\\Data.Txt", kResolveWildcards, kErrorInvalidName, nullptr, false},
      // Trailing dots and spaces go from the last name only; the folder's
      // own trailing space is part of its name.
      {dir + "Folder \\Data.Txt. . ", 0, kErrorSuccess, "\\Folder \\Data.Txt", true},
      {dir + "Folder\\Data.Txt", 0, kErrorPathNotFound, nullptr, false},
      {dir + "Folder.\\Data.Txt", 0, kErrorPathNotFound, nullptr, false},
      // Letter case: any spelling finds the stored name, which is kept.
      {dir + "FOLDER \\data.txt", 0, kErrorSuccess, "\\FOLDER \\data.txt", true},
      {dir + "folder \\DATA.TXT\\x", 0, kErrorPathNotFound, nullptr, false},
      {dir + "a<b", 0, kErrorInvalidName, nullptr, false},
  };
  for (const Case& c : cases) {
    SandboxPath resolved;
    bool ok = ResolvePath(c.path.c_str(), &resolved, c.options);
    SCOPED_TRACE(c.path.size() > 80 ? std::to_string(c.path.size()) + " characters" : c.path);
    ASSERT_EQ(ok, c.error == kErrorSuccess);
    if (!ok) {
      EXPECT_EQ(LastSystemError(), c.error);
      continue;
    }
    std::string windows = resolved.windows.CStr();
    std::string end = c.windowsEnd;
    EXPECT_EQ(windows.substr(windows.size() - std::min(windows.size(), end.size())), end);
    EXPECT_EQ(resolved.exists, c.exists);
    if (c.exists) {
      EXPECT_STREQ(resolved.name.CStr(), "Data.Txt");
    }
  }
}

// Folders and their listings are remembered within a run; what the run
// changes itself, and what another process changes, is seen all the same.
TEST_F(SandboxTest, RememberedFoldersFollowChanges) {
  ASSERT_TRUE(platform::MakeDirectory(Path("Dir").CStr()));
  Put("Dir\\One.txt", "1");
  SandboxPath resolved;
  ASSERT_TRUE(ResolvePath(Path("dir\\ONE.TXT").CStr(), &resolved));  // the folder is listed now
  ASSERT_TRUE(resolved.exists);
  const std::string host = resolved.hostParent.CStr();

  // Made by the run: found in any case without listing the folder again.
  Put("Dir\\Two.txt", "2");
  ASSERT_TRUE(ResolvePath(Path("DIR\\two.TXT").CStr(), &resolved));
  EXPECT_TRUE(resolved.exists);
  EXPECT_STREQ(resolved.name.CStr(), "Two.txt");
  EXPECT_FALSE(ResolvePath(Path("Dir\\Two.txt\\x").CStr(), &resolved));

  // Removed by the run, then made by another process in another case. (The
  // pause puts the other process's change on a later tick of the file
  // system's clock.)
  ASSERT_TRUE(RemoveFile(Path("dir\\one.txt").CStr()));
  ASSERT_TRUE(ResolvePath(Path("Dir\\One.txt").CStr(), &resolved));
  EXPECT_FALSE(resolved.exists);
  usleep(50000);
  ASSERT_EQ(close(creat((host + "/ONE.txt").c_str(), 0666)), 0);
  ASSERT_TRUE(ResolvePath(Path("Dir\\one.TXT").CStr(), &resolved));
  EXPECT_TRUE(resolved.exists);
  EXPECT_STREQ(resolved.name.CStr(), "ONE.txt");
  ASSERT_EQ(unlink((host + "/ONE.txt").c_str()), 0);
  usleep(50000);
  ASSERT_TRUE(ResolvePath(Path("Dir\\one.TXT").CStr(), &resolved));
  EXPECT_FALSE(resolved.exists);

  // The folder itself replaced by another process under another case: the
  // remembered folder is gone, the path is walked again.
  ASSERT_EQ(unlink((host + "/Two.txt").c_str()), 0);
  ASSERT_EQ(rmdir(host.c_str()), 0);
  std::string other = host.substr(0, host.size() - 3) + "DIR";
  ASSERT_EQ(mkdir(other.c_str(), 0777), 0);
  ASSERT_EQ(close(creat((other + "/Three.txt").c_str(), 0666)), 0);
  ASSERT_TRUE(ResolvePath(Path("Dir\\three.txt").CStr(), &resolved));
  EXPECT_TRUE(resolved.exists);
  EXPECT_EQ(std::string(resolved.host.CStr()), other + "/Three.txt");

  // Renamed by the run: old names are gone, new ones there.
  ASSERT_TRUE(MoveFilePath(Path("dir").CStr(), Path("Moved").CStr(), 0));
  EXPECT_FALSE(ResolvePath(Path("Dir\\three.txt").CStr(), &resolved));
  ASSERT_TRUE(ResolvePath(Path("MOVED\\THREE.TXT").CStr(), &resolved));
  EXPECT_TRUE(resolved.exists);
}

// A folder asked for itself a second time (the current directory, the
// folder checked before each file) comes from what is remembered of the
// first: every field as a walk from the drive root gives it, on a drive
// folder and on drive Z:, whose root is the host's "/". A name missing from
// a listing the run keeps current is not looked up; one made by another
// process on a later tick of the file system's clock is found all the same.
TEST_F(SandboxTest, RememberedFolderAskedForItself) {
  ASSERT_TRUE(platform::MakeDirectory(Path("Outer").CStr()));
  ASSERT_TRUE(platform::MakeDirectory(Path("Outer\\Inner").CStr()));
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  const std::string topLevel = "Z:\\" + std::string(here).substr(1, std::string(here).find('/', 1) - 1);
  for (const core::String& folder : {Path("outer\\INNER"), core::String(topLevel.c_str())}) {
    SCOPED_TRACE(folder.CStr());
    ForgetFolders();
    SandboxPath walked, remembered;
    ASSERT_TRUE(ResolvePath(folder.CStr(), &walked));
    ASSERT_TRUE(ResolvePath(folder.CStr(), &remembered));
    EXPECT_STREQ(remembered.host.CStr(), walked.host.CStr());
    EXPECT_STREQ(remembered.hostParent.CStr(), walked.hostParent.CStr());
    EXPECT_STREQ(remembered.name.CStr(), walked.name.CStr());
    EXPECT_STREQ(remembered.windows.CStr(), walked.windows.CStr());
    EXPECT_TRUE(remembered.exists && remembered.isDirectory);
    EXPECT_EQ(remembered.readOnly, walked.readOnly);
  }

  Put("Outer\\Inner\\Made.txt", "1");
  SandboxPath resolved;
  ASSERT_TRUE(ResolvePath(Path("Outer\\Inner\\made.TXT").CStr(), &resolved));
  const std::string host = resolved.hostParent.CStr();
  ASSERT_TRUE(ResolvePath(Path("Outer\\Inner\\Later.txt").CStr(), &resolved));
  EXPECT_FALSE(resolved.exists);
  usleep(50000);
  ASSERT_EQ(close(creat((host + "/Later.txt").c_str(), 0666)), 0);
  ASSERT_TRUE(ResolvePath(Path("Outer\\Inner\\Later.txt").CStr(), &resolved));
  EXPECT_TRUE(resolved.exists);
}

TEST(SandboxNames, ShortNames) {
  struct Case {
    const char* name;
    bool isShort;
  } cases[] = {
      {"README.TXT", true}, {"readme.txt", true}, {"A", true},          {"KVT1A2B.TMP", true},
      {"Program Files", false}, {"toolong12.txt", false}, {"a.text", false}, {"a.b.c", false},
      {".profile", false},  {"a+b.txt", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsShortName(c.name), c.isShort) << c.name;
    core::String alias = ShortNameOf(c.name);
    EXPECT_TRUE(IsShortName(alias.CStr())) << c.name << " -> " << alias.CStr();
    if (c.isShort) {
      EXPECT_STREQ(alias.CStr(), c.name);
    }
  }
  EXPECT_TRUE(ShortNameOf("Program Files").StartsWithNoCase("PROG~"));
  EXPECT_TRUE(ShortNameOf("A rather long name.text").EndsWithNoCase(".TEX"));
  EXPECT_STREQ(ShortNameOf("program files").CStr(), ShortNameOf("PROGRAM FILES").CStr());
  EXPECT_STRNE(ShortNameOf("Program Files").CStr(), ShortNameOf("Program Data").CStr());
}

TEST_F(SandboxTest, DelayedMovesAreRecordedForTheNextStart) {
  Put("new.dll", "new");
  ASSERT_TRUE(MoveFilePath(Path("new.dll").CStr(), "C:\\WINDOWS\\SYSTEM\\shared.dll",
                           kMoveReplaceExisting | kMoveDelayUntilReboot));
  ASSERT_TRUE(MoveFilePath(Path("old.tmp").CStr(), nullptr, kMoveDelayUntilReboot));
  EXPECT_TRUE(Exists("new.dll"));  // nothing moves before the restart
  core::Array<PendingRename> renames;
  ASSERT_TRUE(ReadPendingRenames(&renames));
  ASSERT_EQ(renames.Size(), 2);
  EXPECT_STREQ(renames[0].from.CStr(), Path("new.dll").CStr());
  EXPECT_STREQ(renames[0].to.CStr(), "C:\\WINDOWS\\SYSTEM\\shared.dll");
  EXPECT_TRUE(renames[0].replace);
  EXPECT_STREQ(renames[1].from.CStr(), Path("old.tmp").CStr());
  EXPECT_TRUE(renames[1].to.IsEmpty());
}

TEST(SandboxVersion, SelectableByTheHost) {
  OsVersion version;
  ASSERT_TRUE(GetOsVersion(&version));
  EXPECT_EQ(version.major, 5u);
  EXPECT_EQ(version.minor, 1u);
  EXPECT_EQ(version.platformId, kPlatformNt);
  SetOsVersion(4, 10, 1998, kPlatformWindows, "");
  ASSERT_TRUE(GetOsVersion(&version));
  EXPECT_EQ(version.minor, 10u);
  EXPECT_EQ(version.platformId, kPlatformWindows);
  SetOsVersion(5, 1, 2600, kPlatformNt, "Service Pack 3");
}

TEST_F(SandboxTest, DeletingATreeNeverFollowsALinkOutOfIt) {
  ASSERT_TRUE(platform::MakeDirectory(Path("tree").CStr()));
  std::string outside = hostRoot_ + "/outside";
  ASSERT_EQ(mkdir(outside.c_str(), 0777), 0);
  Put("tree\\own.txt", "x");
  {
    SandboxPath tree;
    ASSERT_TRUE(ResolvePath(Path("tree").CStr(), &tree));
    ASSERT_EQ(symlink(outside.c_str(), (std::string(tree.host.CStr()) + "/link").c_str()), 0);
    ASSERT_EQ(close(creat((outside + "/precious.txt").c_str(), 0666)), 0);
  }
  EXPECT_TRUE(platform::RemoveFile(Path("tree\\link").CStr())) << LastSystemError();
  EXPECT_TRUE(install::DeleteTree(Path("tree").CStr()));
  EXPECT_FALSE(Exists("tree"));
  EXPECT_EQ(access((outside + "/precious.txt").c_str(), F_OK), 0);
}

}  // namespace
}  // namespace kova::platform::posix
#endif
