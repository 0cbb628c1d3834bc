// Batch scripts: the generated KOVABAT.BAT byte for byte, PAUSE lines in
// hidden and automatic runs, line-break normalisation, and real runs: under
// Wine through cmd.exe; natively through a stand-in interpreter (a shell
// script where %comspec% points) that keeps a copy of the batch file, since
// the sandbox has no command interpreter of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/paths.h"
#include "install/batch.h"
#include "payload/command_line.h"
#include "payload/folders.h"
#include "payload/system_paths.h"
#include "support/file_system_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>

#include <cstdio>

#include "platform/posix/sandbox_paths.h"
#endif

namespace kova::system {
namespace {

install::BatchFolders SampleFolders() {
  install::BatchFolders folders;
  folders.sharedDir = "C:\\Program Files\\Common Files\\Acme";
  folders.installerPath = "E:\\SETUP.EXE";
  folders.installerDir = "E:\\";
  folders.installerName = "SETUP.EXE";
  folders.installerDrive = 'E';
  folders.systemDir = "C:\\WINDOWS\\SYSTEM";
  folders.deviceDir = "C:\\WINDOWS\\INF";
  folders.mediaDir = "C:\\WINDOWS\\Media";
  folders.favoritesDir = "C:\\WINDOWS\\Favorites";
  folders.fontDir = "C:\\WINDOWS\\Fonts";
  folders.desktopDir = "C:\\WINDOWS\\Desktop";
  folders.documentDir = "C:\\My Documents";
  folders.programsDir = "C:\\Program Files";
  folders.startMenuDir = "C:\\WINDOWS\\Start Menu";
  folders.smProgramsDir = "C:\\WINDOWS\\Start Menu\\Programs";
  folders.startupDir = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp";
  folders.bootDrive = 'C';
  return folders;
}

// Lines 3 to 19 for SampleFolders().
constexpr const char* kSampleSetLines =
    "SET SharedDir=C:\\Program Files\\Common Files\\Acme\r\n"
    "SET InstallerFilepath=E:\\SETUP.EXE\r\n"
    "SET InstallerDir=E:\\\r\n"
    "SET InstallerFilename=SETUP.EXE\r\n"
    "SET InstallerDrive=E:\r\n"
    "SET SystemDir=C:\\WINDOWS\\SYSTEM\r\n"
    "SET DeviceDir=C:\\WINDOWS\\INF\r\n"
    "SET MediaDir=C:\\WINDOWS\\Media\r\n"
    "SET FavoritesDir=C:\\WINDOWS\\Favorites\r\n"
    "SET FontDir=C:\\WINDOWS\\Fonts\r\n"
    "SET DesktopDir=C:\\WINDOWS\\Desktop\r\n"
    "SET DocumentDir=C:\\My Documents\r\n"
    "SET ProgramsDir=C:\\Program Files\r\n"
    "SET StartMenuDir=C:\\WINDOWS\\Start Menu\r\n"
    "SET SMProgramsDir=C:\\WINDOWS\\Start Menu\\Programs\r\n"
    "SET StartupDir=C:\\WINDOWS\\Start Menu\\Programs\\StartUp\r\n"
    "SET BootDrive=C:\r\n";

std::string Text(const core::String& text) { return std::string(text.CStr(), static_cast<std::size_t>(text.Length())); }

TEST(BatchFileText, EveryLineInOrderForEachKindOfDirectory) {
  struct Case {
    const char* directory;
    const char* installLines;  // lines 2 and 3
  } cases[] = {
      {"d:\\Acme Tools", "SET InstallDir=d:\\Acme Tools\r\nSET InstallDrive=D:\r\n"},
      {"C:\\", "SET InstallDir=C:\\\r\nSET InstallDrive=C:\r\n"},  // the second uninstall batch
      {"", ""},                                                       // no directory: no InstallDir
      // A network path has no drive letter: an empty value, never a NUL.
      {"\\\\server\\share\\Acme", "SET InstallDir=\\\\server\\share\\Acme\r\nSET InstallDrive=\r\n"},
  };
  for (const Case& c : cases) {
    core::String text = install::BatchFileText(c.directory, "copy a b\r\n", false, SampleFolders());
    EXPECT_EQ(Text(text), std::string("@echo off\r\n") + c.installLines + kSampleSetLines + "copy a b\r\n")
        << c.directory;
  }

  install::BatchFolders fromNetwork = SampleFolders();
  fromNetwork.installerPath = "\\\\server\\setup\\SETUP.EXE";
  fromNetwork.installerDrive = '\0';
  core::String text = install::BatchFileText("C:\\Acme", "x", false, fromNetwork);
  EXPECT_NE(std::strstr(text.CStr(), "SET InstallerDrive=\r\nSET SystemDir="), nullptr);
  EXPECT_EQ(std::strlen(text.CStr()), static_cast<std::size_t>(text.Length()));
}

TEST(BatchFileText, PauseLinesInRunsNobodyWatches) {
  const char* batch =
      "echo start\n"
      "pause\n"
      "  @pause  \n"
      "\t@ PAUSE\t\r\n"
      "PAUSE > NUL\r\n"
      "pause now\r"
      "echo pause\n\r"
      "@@pause\n"
      "\n"
      "rem last line without a break";
  // Kept as written, every break then made CR LF.
  core::String kept = install::BatchFileText("", batch, false, SampleFolders());
  EXPECT_EQ(Text(kept), std::string("@echo off\r\n") + kSampleSetLines +
                            "echo start\r\npause\r\n  @pause  \r\n\t@ PAUSE\t\r\nPAUSE > NUL\r\npause now\r\n"
                            "echo pause\r\n@@pause\r\n\r\nrem last line without a break");
  // Dropped: PAUSE alone, behind blanks and one @; the rest line by line.
  core::String dropped = install::BatchFileText("", batch, true, SampleFolders());
  EXPECT_EQ(Text(dropped), std::string("@echo off\r\n") + kSampleSetLines +
                               "echo start\r\nPAUSE > NUL\r\npause now\r\necho pause\r\n@@pause\r\n\r\n"
                               "rem last line without a break\r\n");
}

TEST(NormalizeLineBreaks, EveryBreakBecomesCrLf) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"a\nb", "a\r\nb"},          {"a\rb", "a\r\nb"},          {"a\r\nb", "a\r\nb"},
      {"a\n\rb", "a\r\nb"},        {"a\n\nb", "a\r\n\r\nb"},    {"a\r\rb", "a\r\n\r\nb"},
      {"a\r\n\rb", "a\r\n\r\nb"},  {"a\n\r\nb", "a\r\n\r\nb"},  {"\r", "\r\n"},
      {"end\n", "end\r\n"},        {"no break", "no break"},    {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Text(install::NormalizeLineBreaks(c.text)), c.expected) << testing::PrintToString(c.text);
  EXPECT_EQ(Text(install::NormalizeLineBreaks(nullptr)), "");
}

// Real runs. The batch copies its own file before it ends, so the test sees
// the exact bytes; natively the stand-in interpreter makes that copy.
class BatchRunTest : public test::FileSystemTest {
 protected:
  void SetUp() override {
    FileSystemTest::SetUp();
    payload::Folders() = payload::InstallFolders();
    payload::Folders().sharedDir = "C:\\Shared Stuff";
    payload::SetAutomaticMode(false);
#ifndef _WIN32
    core::String interpreter = payload::GetSystemPaths().commandInterpreter;
    platform::posix::SandboxPath where;
    if (interpreter.Find("\"") >= 0 || !platform::posix::ResolvePath(interpreter.CStr(), &where))
      GTEST_SKIP() << "%comspec% names no place in the sandbox: " << interpreter.CStr();
    interpreterHost_ = where.host.CStr();
    PutInterpreter();
#endif
  }

  void TearDown() override {
    payload::SetAutomaticMode(false);
    payload::Folders() = payload::InstallFolders();
    FileSystemTest::TearDown();
  }

#ifndef _WIN32
  // Records its arguments and copies the batch file from its working
  // directory, where install::RunBatch puts it.
  void PutInterpreter() {
    FILE* script = std::fopen(interpreterHost_.c_str(), "w");
    ASSERT_NE(script, nullptr);
    std::fputs("#!/bin/sh\nprintf '%s|' \"$@\" > args.txt\ncp KOVABAT.BAT seen.bat\n", script);
    std::fclose(script);
    ASSERT_EQ(chmod(interpreterHost_.c_str(), 0755), 0);
  }
  std::string interpreterHost_;
#endif
};

// The batch's own copy, then it ends before any PAUSE could wait.
constexpr const char* kCopyingBatch =
    "copy KOVABAT.BAT seen.bat > NUL\r\n"
    "exit\r\n"
    "  @pause  \r\n"
    "PAUSE > NUL\n";

TEST_F(BatchRunTest, FileAsWrittenForHiddenAndAutomaticRuns) {
  struct Case {
    bool automatic;
    bool hidden;
    bool dropPause;
  } cases[] = {
      {false, false, false},
      {true, false, true},
      {false, true, true},
      {true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "automatic " << c.automatic << ", hidden " << c.hidden);
    platform::RemoveFile(Path("seen.bat").CStr());
    payload::SetAutomaticMode(c.automatic);
    install::RunBatch(dir_.CStr(), kCopyingBatch, c.hidden);
    core::String expected = install::BatchFileText(dir_.CStr(), kCopyingBatch, c.dropPause, install::CurrentBatchFolders());
    EXPECT_EQ(Get("seen.bat"), Text(expected));
    EXPECT_NE(Get("seen.bat").find("SET SharedDir=C:\\Shared Stuff\r\n"), std::string::npos);
    EXPECT_FALSE(Exists("KOVABAT.BAT"));  // deleted after the run
  }
#ifndef _WIN32
  EXPECT_EQ(Get("args.txt"), std::string("/e:4096|/c|") + dir_.CStr() + "\\KOVABAT.BAT|");
#endif
}

TEST_F(BatchRunTest, EmptyDirectoryUsesTheCurrentOne) {
  install::RunBatch("", kCopyingBatch, true);
  EXPECT_EQ(Get("seen.bat"), Text(install::BatchFileText("", kCopyingBatch, true, install::CurrentBatchFolders())));
  EXPECT_FALSE(Exists("KOVABAT.BAT"));
}

TEST_F(BatchRunTest, BlankTextRunsNothingAndWritesNoFile) {
  Put("KOVABAT.BAT", "someone else's");
  install::RunBatch(dir_.CStr(), " \r\n\t\n  ", false);
  install::RunBatch(dir_.CStr(), "", true);
  install::RunBatch(dir_.CStr(), nullptr, true);
  EXPECT_EQ(Get("KOVABAT.BAT"), "someone else's");
  EXPECT_FALSE(Exists("seen.bat"));
}

#ifdef _WIN32
// cmd.exe runs the file: the variables reach the author's commands.
TEST_F(BatchRunTest, CommandInterpreterSeesTheVariables) {
  install::RunBatch(dir_.CStr(),
           "echo %InstallDir%>where.txt\r\n"
           "echo %InstallDrive%>>where.txt\r\n"
           "echo %SharedDir%>>where.txt\r\n"
           "cd>>where.txt\r\n",
           false);
  std::string expected = std::string(dir_.CStr()) + "\r\n" + core::DriveLetterOf(dir_.CStr()) +
                         ":\r\nC:\\Shared Stuff\r\n" + dir_.CStr() + "\r\n";
  EXPECT_EQ(Get("where.txt"), expected);
  EXPECT_FALSE(Exists("KOVABAT.BAT"));
}
#else
// Without an interpreter the batch is skipped: nothing runs it, not even as
// a host program, and its file does not stay behind.
TEST_F(BatchRunTest, NoInterpreterSkipsTheRun) {
  ASSERT_EQ(std::remove(interpreterHost_.c_str()), 0);
  install::RunBatch(dir_.CStr(), "echo ran > ran.txt\r\n", false);
  EXPECT_FALSE(Exists("KOVABAT.BAT"));
  EXPECT_FALSE(Exists("ran.txt"));
  EXPECT_FALSE(Exists("seen.bat"));
}
#endif

}  // namespace
}  // namespace kova::system
