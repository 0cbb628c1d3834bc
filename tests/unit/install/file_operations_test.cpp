// The whole-file and path operations: reading, appending and writing whole
// files, existence and in-use tests, folders and trees, read-only files,
// drives and space, temporary files and short paths, starting programs.
#include <gtest/gtest.h>

#include <string>

#include "core/paths.h"
#include "install/directories.h"
#include "install/disk_space.h"
#include "install/file.h"
#include "install/file_operations.h"
#include "install/processes.h"
#include "install/temp_files.h"
#include "install/whole_file.h"
#include "payload/message_box.h"
#include "payload/system_paths.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "support/file_system_fixture.h"
#ifndef _WIN32
#include "support/file_size_limit.h"
#endif

namespace kova::install {
namespace {

using FileOperationsTest = test::FileSystemTest;

TEST_F(FileOperationsTest, ReadWholeFile) {
  Put("whole.txt", "line 1\r\nline 2");
  Put("empty.txt", "");
  core::String text("stale");
  EXPECT_EQ(ReadWholeFile(Path("whole.txt").CStr(), text), kOpenOk);
  EXPECT_STREQ(text.CStr(), "line 1\r\nline 2");
  EXPECT_EQ(ReadWholeFile(Path("empty.txt").CStr(), text), kOpenOk);
  EXPECT_TRUE(text.IsEmpty());
  text = "stale";
  EXPECT_EQ(ReadWholeFile("", text), kOpenInvalidName);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(ReadWholeFile(Path("missing.txt").CStr(), text), kOpenFileNotFound);
  EXPECT_EQ(ReadWholeFile(Path("none\\x.txt").CStr(), text), kOpenPathNotFound);
}

TEST_F(FileOperationsTest, AppendTextToFile) {
  EXPECT_FALSE(AppendTextToFile("", "x", 0));
  EXPECT_FALSE(AppendTextToFile(Path("log.txt").CStr(), "x", kAppendExistingOnly));
  EXPECT_FALSE(Exists("log.txt"));
  EXPECT_TRUE(AppendTextToFile(Path("log.txt").CStr(), "first", 0));
  EXPECT_TRUE(AppendTextToFile(Path("log.txt").CStr(), "second\r\n", kAppendEnsureLineBreak));
  EXPECT_TRUE(AppendTextToFile(Path("log.txt").CStr(), "third", kAppendEnsureLineBreak | kAppendExistingOnly));
  EXPECT_TRUE(AppendTextToFile(Path("log.txt").CStr(), nullptr, 0));
  EXPECT_EQ(Get("log.txt"), "first\r\nsecond\r\nthird");
  // An empty file gets no line break of its own.
  Put("empty.txt", "");
  EXPECT_TRUE(AppendTextToFile(Path("empty.txt").CStr(), "only", kAppendEnsureLineBreak));
  EXPECT_EQ(Get("empty.txt"), "only");
  EXPECT_TRUE(AppendTextToFile(Path("empty.txt").CStr(), nullptr, kAppendEnsureLineBreak));
  EXPECT_EQ(Get("empty.txt"), "only\r\n");
}

#ifndef _WIN32
// An append that a full disk stops part-way leaves the file as it was: cut
// back to its old end, or gone when the append created it.
TEST_F(FileOperationsTest, AppendTextToFileOntoAFullDisk) {
  Put("log.txt", "old\r\n");
  const std::string section(4096, 's');
  {
    test::FileSizeLimit full(1024);
    EXPECT_FALSE(AppendTextToFile(Path("log.txt").CStr(), section.c_str(), kAppendEnsureLineBreak));
    EXPECT_FALSE(AppendTextToFile(Path("new.txt").CStr(), section.c_str(), 0));
    EXPECT_FALSE(AppendTextToFile(Path("once.txt").CStr(), section.c_str(), kAppendNoRetry));
  }
  EXPECT_EQ(Get("log.txt"), "old\r\n");
  EXPECT_FALSE(FileExists(Path("new.txt").CStr()));
  EXPECT_FALSE(FileExists(Path("once.txt").CStr()));
  EXPECT_TRUE(AppendTextToFile(Path("log.txt").CStr(), "next", 0));
  EXPECT_EQ(Get("log.txt"), "old\r\nnext");
}
#endif

TEST_F(FileOperationsTest, WriteWholeFile) {
  EXPECT_FALSE(WriteWholeFile("", "x", 1));
  EXPECT_FALSE(WriteWholeFile(Path("none\\x.bin").CStr(), "x", 1));
  EXPECT_TRUE(WriteWholeFile(Path("out.bin").CStr(), "abc\0def", 7));
  EXPECT_EQ(Get("out.bin"), std::string("abc\0def", 7));
  EXPECT_TRUE(WriteWholeFile(Path("out.bin").CStr(), "ignored", 0));
  EXPECT_EQ(Get("out.bin"), "");
  EXPECT_FALSE(WriteWholeFile(Path("out.bin").CStr(), nullptr, 5));
}

TEST_F(FileOperationsTest, FileStampsByPath) {
  Put("stamped.txt", "x");
  File file;
  ASSERT_EQ(file.Open(Path("stamped.txt").CStr(), kModeUpdate), kOpenOk);
  ASSERT_TRUE(file.SetLastWriteStamp(format::FileStamp{2010, 2, 28, 7, 8, 9}));
  file.Close();
  format::FileStamp stamp;
  ASSERT_TRUE(ReadFileStamp(Path("stamped.txt").CStr(), &stamp));
  EXPECT_EQ(stamp.year, 2010);
  EXPECT_EQ(stamp.day, 28);
  EXPECT_EQ(stamp.second, 9);
  EXPECT_FALSE(ReadFileStamp(Path("missing.txt").CStr(), &stamp));
}

TEST_F(FileOperationsTest, FileExists) {
  Put("a1.txt", "");
  Put("a2.log", "");
  ASSERT_TRUE(platform::MakeDirectory(Path("folder").CStr()));
  struct Case {
    const char* name;
    bool exists;
  } cases[] = {
      {"a1.txt", true}, {"A1.TXT", true}, {"*.txt", true}, {"a?.log", true}, {"*.doc", false},
      {"missing.txt", false}, {"folder", false}, {"fold*", false}, {"none\\*.txt", false},
  };
  for (const Case& c : cases) EXPECT_EQ(FileExists(Path(c.name).CStr()), c.exists) << c.name;
  EXPECT_TRUE(FileExists("a1.txt"));  // relative: from the current directory
  EXPECT_TRUE(FileExists("*.log"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_TRUE(CanOpenForWriting(Path("a1.txt").CStr()));
  EXPECT_FALSE(CanOpenForWriting(Path("missing.txt").CStr()));
}

TEST_F(FileOperationsTest, DirectoryExistsLeavesTheCurrentDirectory) {
  ASSERT_TRUE(platform::MakeDirectory(Path("sub").CStr()));
  Put("file.txt", "");
  EXPECT_TRUE(DirectoryExists(Path("sub").CStr()));
  EXPECT_TRUE(DirectoryExists("sub"));
  EXPECT_FALSE(DirectoryExists(Path("file.txt").CStr()));
  EXPECT_FALSE(DirectoryExists(Path("missing").CStr()));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_STREQ(CurrentDirectory().CStr(), dir_.CStr());
}

TEST_F(FileOperationsTest, CurrentDirectoryLongerThanTheFirstBuffer) {
  core::String deep(dir_);
  for (int i = 0; i < 6; ++i) deep += "\\a-folder-name-of-twenty-chars";
  ASSERT_TRUE(CreateDirectoryPath(deep.CStr()));
  ASSERT_TRUE(platform::SetCurrentDirectoryPath(deep.CStr()));
  EXPECT_GT(deep.Length(), 99);
  EXPECT_STREQ(CurrentDirectory().CStr(), deep.CStr());
}

TEST_F(FileOperationsTest, CreateDirectoryPath) {
  EXPECT_TRUE(CreateDirectoryPath(Path("a\\b\\c").CStr()));
  EXPECT_TRUE(DirectoryExists(Path("a").CStr()));
  EXPECT_TRUE(DirectoryExists(Path("a\\b").CStr()));
  EXPECT_TRUE(DirectoryExists(Path("a\\b\\c").CStr()));
  EXPECT_TRUE(CreateDirectoryPath(Path("a\\b\\c").CStr()));  // already there
  EXPECT_TRUE(CreateDirectoryPath("relative\\made"));
  EXPECT_TRUE(DirectoryExists(Path("relative\\made").CStr()));
  Put("blocker", "");
  EXPECT_FALSE(CreateDirectoryPath(Path("blocker\\x").CStr()));
  EXPECT_FALSE(CreateDirectoryPath(""));
  EXPECT_TRUE(CreateDirectoryPath("C:\\"));
}

TEST_F(FileOperationsTest, DeleteFileAndReadOnly) {
  Put("ro.txt", "x");
  EXPECT_TRUE(SetReadOnly(Path("ro.txt").CStr(), true));
  EXPECT_TRUE(SetReadOnly(Path("ro.txt").CStr(), true));  // already so
  EXPECT_TRUE(platform::FileAttributesOf(Path("ro.txt").CStr()) & platform::kAttributeReadOnly);
  EXPECT_FALSE(platform::RemoveFile(Path("ro.txt").CStr()));
  EXPECT_TRUE(DeleteFile(Path("ro.txt").CStr()));  // clears the attribute first
  EXPECT_FALSE(Exists("ro.txt"));
  EXPECT_FALSE(DeleteFile(Path("ro.txt").CStr()));
  EXPECT_FALSE(SetReadOnly(Path("ro.txt").CStr(), false));
  Put("rw.txt", "x");
  EXPECT_TRUE(SetReadOnly(Path("rw.txt").CStr(), false));
}

TEST_F(FileOperationsTest, RemoveDirectory) {
  ASSERT_TRUE(CreateDirectoryPath(Path("gone").CStr()));
  EXPECT_TRUE(RemoveDirectory((Path("gone") + "\\").CStr()));  // one trailing backslash is fine
  EXPECT_FALSE(DirectoryExists(Path("gone").CStr()));
  EXPECT_FALSE(RemoveDirectory("C:\\"));
  EXPECT_FALSE(RemoveDirectory("C:"));
  EXPECT_FALSE(RemoveDirectory(Path("gone").CStr()));
}

TEST_F(FileOperationsTest, DeleteTree) {
  ASSERT_TRUE(CreateDirectoryPath(Path("tree\\one\\two").CStr()));
  ASSERT_TRUE(CreateDirectoryPath(Path("tree\\empty").CStr()));
  Put("tree\\top.txt", "t");
  Put("tree\\one\\mid.txt", "m");
  Put("tree\\one\\two\\deep.txt", "d");
  ASSERT_TRUE(SetReadOnly(Path("tree\\one\\two\\deep.txt").CStr(), true));
  Put("keep.txt", "k");
  EXPECT_TRUE(DeleteTree(Path("tree").CStr()));
  EXPECT_FALSE(Exists("tree"));
  EXPECT_TRUE(Exists("keep.txt"));
  EXPECT_FALSE(DeleteTree(Path("tree").CStr()));  // nothing to enumerate
  EXPECT_FALSE(DeleteTree(Path("keep.txt").CStr()));
  EXPECT_TRUE(Exists("keep.txt"));
  EXPECT_FALSE(DeleteTree(nullptr));
}

TEST_F(FileOperationsTest, DeleteTreeRefusesRootsAndTheWindowsDirectory) {
  const core::String& windows = payload::GetSystemPaths().windowsDir;
  ASSERT_FALSE(windows.IsEmpty());
  EXPECT_FALSE(DeleteTree("C:\\"));
  EXPECT_FALSE(DeleteTree("C:"));
  // A folder inside the Windows directory (one that does not exist, so a
  // mistake could not hurt): refused before anything is looked at.
  core::String inside = core::JoinPath(windows.CStr(), "kova-never-there");
  core::String lower(inside);
  lower.ToLower();
  EXPECT_FALSE(DeleteTree(inside.CStr()));
  EXPECT_FALSE(DeleteTree(lower.CStr()));
  EXPECT_TRUE(DirectoryExists(windows.CStr()));
}

TEST_F(FileOperationsTest, DrivesAndSpace) {
  EXPECT_TRUE(DriveExists('C'));
  EXPECT_TRUE(DriveExists('c'));
  EXPECT_FALSE(DriveExists('Q'));
  EXPECT_GT(ClusterSize(dir_.CStr()), 0);
  EXPECT_EQ(ClusterSize("\\\\server\\share"), -1);
  EXPECT_EQ(ClusterSize("1abc"), -1);
  EXPECT_EQ(ClusterSize("Q:\\"), -1);
  EXPECT_GT(FreeSpace(dir_.CStr()), 0);
  EXPECT_EQ(FreeSpace("\\\\server\\share"), -1);
  EXPECT_EQ(FreeSpace("Q:\\x"), -1);
  i64 freeBytes = 0, totalBytes = 0;
  ASSERT_TRUE(DiskSpace("C:\\", &freeBytes, &totalBytes));
  EXPECT_GT(freeBytes, 0);
  EXPECT_GE(totalBytes, freeBytes);
  EXPECT_FALSE(DiskSpace("Q:\\", &freeBytes, &totalBytes));
}

u32 NoTempPath(u32, char*) { return 0; }
u32 FixedTempPath(u32 size, char* buffer) {
  const char kPath[] = "D:\\Temp\\";
  if (size < sizeof kPath) return sizeof kPath;
  for (u32 i = 0; i < sizeof kPath; ++i) buffer[i] = kPath[i];
  return sizeof kPath - 1;
}

TEST_F(FileOperationsTest, TemporaryFilesAndShortPaths) {
  EXPECT_STREQ(ComputeTempDirectory(NoTempPath).CStr(), "c:\\temp");
  EXPECT_STREQ(ComputeTempDirectory(FixedTempPath).CStr(), "D:\\Temp\\");
  const core::String& temp = TempDirectory();
  EXPECT_EQ(temp[temp.Length() - 1], '\\');
  EXPECT_EQ(&TempDirectory(), &temp);  // computed once

  core::String made = MakeTempFile(dir_.CStr());
  ASSERT_FALSE(made.IsEmpty());
  EXPECT_TRUE(core::FileNameOf(made.CStr()).StartsWithNoCase("KVT"));
  EXPECT_TRUE(made.EndsWithNoCase(".TMP"));
  EXPECT_TRUE(FileExists(made.CStr()));
  core::String second = MakeTempFile(dir_.CStr());
  EXPECT_FALSE(second.EqualsNoCase(made.CStr()));
  EXPECT_TRUE(MakeTempFile(Path("missing").CStr()).IsEmpty());

  EXPECT_TRUE(ShortPath("").IsEmpty());
  EXPECT_STREQ(ShortPath(Path("missing file.txt").CStr()).CStr(), Path("missing file.txt").CStr());
  ASSERT_TRUE(CreateDirectoryPath(Path("Program Folder").CStr()));
  Put("Program Folder\\Shared Library.dll", "lib");
  core::String shortened = ShortPath(Path("Program Folder\\Shared Library.dll").CStr());
  EXPECT_EQ(shortened.Mid(dir_.Length()).Find(" "), -1) << shortened.CStr();
  std::string content;
  {
    File file;
    ASSERT_EQ(file.Open(shortened.CStr(), kModeRead), kOpenOk) << shortened.CStr();
    char buffer[3];
    ASSERT_TRUE(file.Read(buffer, 3));
    content.assign(buffer, 3);
  }
  EXPECT_EQ(content, "lib");
}

int recordedBoxes = 0;
std::string recordedText, recordedCaption;
u32 recordedStyle = 0;
int RecordBox(platform::WindowHandle owner, const char* text, const char* caption, u32 style) {
  EXPECT_EQ(owner, nullptr);
  ++recordedBoxes;
  recordedText = text;
  recordedCaption = caption;
  recordedStyle = style;
  return platform::kIdOk;
}

TEST_F(FileOperationsTest, RunProcess) {
  payload::SetMessageBoxFunction(RecordBox);
  recordedBoxes = 0;
  EXPECT_EQ(RunProcess("", kRunReportFailure, nullptr), kRunNotStarted);
  EXPECT_EQ(RunProcess(nullptr, 0, nullptr), kRunNotStarted);
  EXPECT_EQ(recordedBoxes, 0);

  core::String missing = Path("no-such-program.exe") + " /x";
  EXPECT_EQ(RunProcess(missing.CStr(), kRunWait, nullptr), kRunNotStarted);
  EXPECT_EQ(recordedBoxes, 0);
  EXPECT_EQ(RunProcess(missing.CStr(), kRunWait | kRunReportFailure, nullptr), kRunNotStarted);
  EXPECT_EQ(recordedBoxes, 1);
  EXPECT_EQ(recordedText, std::string("Unable to create process:\r\n") + missing.CStr());
  EXPECT_EQ(recordedCaption, "Error");
  EXPECT_EQ(recordedStyle, platform::kBoxIconHand);

  core::String exit7 = test::HelperCommandLine("ExitWithCode", {{"exit", "7"}});
  EXPECT_EQ(RunProcess(exit7.CStr(), kRunWait, nullptr), 7u);
  EXPECT_EQ(RunProcess(exit7.CStr(), kRunWait | kRunPumpMessages | kRunHidden, dir_.CStr()), 7u);
  // Not waiting: the program runs on; it starts in a folder that outlives
  // this test's folder.
  core::String home = core::DirectoryOf(test::SelfPath().CStr());
  EXPECT_EQ(RunProcess(exit7.CStr(), kRunIdlePriority | kRunMinimized, home.CStr()), kRunNoExitCode);
  // A working directory that does not exist: nothing starts.
  EXPECT_EQ(RunProcess(exit7.CStr(), kRunWait, Path("missing").CStr()), kRunNotStarted);
  payload::SetMessageBoxFunction(nullptr);
}

TEST(Documents, OpenDocumentNeedsAPath) {
  EXPECT_FALSE(OpenDocument(""));
  EXPECT_FALSE(OpenDocument(nullptr));
}

}  // namespace
}  // namespace kova::install
