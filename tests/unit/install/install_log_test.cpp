// The installation log: the section's exact bytes, one section per
// installation, when nothing is written, the closing boxes with their
// messages, and opening the log afterwards. UninstallDataPath, which gives
// the log its place, is here too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/date_time.h"
#include "format/install_script.h"
#include "install/install_log.h"
#include "install/uninstall_data_path.h"
#include "payload/command_line.h"
#include "payload/folders.h"
#include "payload/message_box.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/window.h"
#include "support/file_system_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "platform/posix/sandbox_paths.h"
#endif

namespace kova::install {
namespace {

TEST(UninstallDataPath, JoinsInstallDirSubdirAndName) {
  struct Case {
    const char* installDir;
    const char* subdir;
    const char* name;
    const char* path;
  } cases[] = {
      {"C:\\Acme", "", "Install.LOG", "C:\\Acme\\Install.LOG"},
      {"C:\\Acme\\", "Uninst", "Uninstall.DAT", "C:\\Acme\\Uninst\\Uninstall.DAT"},
      {"C:\\Acme", "\\Uninst\\", "Install.LOG", "C:\\Acme\\Uninst\\Install.LOG"},
      {"C:\\", "Sub\\Deeper", "Installer Background.BMP", "C:\\Sub\\Deeper\\Installer Background.BMP"},
  };
  for (const Case& c : cases) {
    payload::Folders().installDir = c.installDir;
    payload::Folders().uninstallSubdir = c.subdir;
    EXPECT_STREQ(UninstallDataPath(c.name).CStr(), c.path) << c.installDir << " + " << c.subdir;
  }
  payload::Folders() = payload::InstallFolders();
}

struct BoxCall {
  std::string text;
  std::string caption;
  u32 style;
};

std::vector<BoxCall>& BoxCalls() {
  static std::vector<BoxCall> calls;
  return calls;
}

int& BoxAnswer() {
  static int answer = platform::kIdNo;
  return answer;
}

int RecordBox(platform::WindowHandle, const char* text, const char* caption, u32 style) {
  BoxCalls().push_back({text, caption, style});
  return BoxAnswer();
}

core::DateTime FixedTime() { return core::MakeDateTime(2026, 12, 5, 6, 2, 33); }

// Message 40 carries a conversion too many: only the log path may go in.
constexpr const char* kLogQuestion = "Setup is complete. View the log %s? %s%n";
constexpr const char* kLogCaption = "Installation complete";
constexpr const char* kErrorsText = "Some parts could not be installed. See the log.";
constexpr const char* kErrorsCaption = "Installation errors";

class InstallLogTest : public test::FileSystemTest {
 protected:
  void SetUp() override {
    FileSystemTest::SetUp();
    payload::Folders() = payload::InstallFolders();
    payload::Folders().productName = "Acme Tools";
    payload::Folders().installDir = dir_;
    payload::Folders().uninstallSubdir = "Uninstall";
    ASSERT_TRUE(platform::MakeDirectory(Path("Uninstall").CStr()));
    logPath_ = std::string(Path("Uninstall\\Install.LOG").CStr());

    core::Array<core::String> languages;
    languages.Append("English");
    core::Array<core::Array<core::String>> table;
    for (i32 n = 0; n < 44; ++n) {
      core::Array<core::String> entry;
      const char* text = n == 40 ? kLogQuestion : n == 41 ? kLogCaption : n == 42 ? kErrorsText : "";
      entry.Append(n == 43 ? kErrorsCaption : text);
      table.Append(entry);
    }
    payload::SetMessageTable(static_cast<core::Array<core::String>&&>(languages),
                             static_cast<core::Array<core::Array<core::String>>&&>(table));
    payload::SetLanguageIndex(0);
    payload::SetProductFlags(0);
    payload::SetAutomaticMode(false);
    SetInstallLogClock(FixedTime);
    payload::SetMessageBoxFunction(RecordBox);
    BoxCalls().clear();
    BoxAnswer() = platform::kIdNo;
  }

  void TearDown() override {
    SetInstallLogClock(nullptr);
    payload::SetMessageBoxFunction(nullptr);
    payload::SetMessageTable({}, {});
    payload::SetProductFlags(0);
    payload::SetAutomaticMode(false);
    payload::Folders() = payload::InstallFolders();
    FileSystemTest::TearDown();
  }

  std::string Log() { return Get("Uninstall\\Install.LOG"); }

  // The header of a section of this fixture's installation.
  std::string Header(bool reinstall, const char* productVersion) const {
    std::string header = "\r\nInstallation log for: Acme Tools\r\n"
                         "Install date: 5-Dec-2026 6:02:33a\r\n";
    header += std::string("Install type: ") + (reinstall ? "Reinstall" : "New") + "\r\n";
    header += std::string("Install location: ") + dir_.CStr() + "\r\n";
    header += "Installer version: 8.2\r\n";
    if (productVersion) header += std::string("Product version: ") + productVersion + "\r\n";
    return header + "\r\n";
  }

  std::string logPath_;
};

TEST_F(InstallLogTest, CleanInstallationSectionAndQuestion) {
  WriteInstallLog("Existing file kept: C:\\Acme\\a.dll\r\n", false, core::String(), true, "2.1");

  EXPECT_EQ(Log(), Header(false, "2.1") + "Existing file kept: C:\\Acme\\a.dll\r\n\r\n");
  ASSERT_EQ(BoxCalls().size(), 1u);
  EXPECT_EQ(BoxCalls()[0].text, "Setup is complete. View the log " + logPath_ + "? %s%n");
  EXPECT_EQ(BoxCalls()[0].caption, kLogCaption);
  EXPECT_EQ(BoxCalls()[0].style, platform::kBoxYesNo | platform::kBoxIconAsterisk);
}

TEST_F(InstallLogTest, TwoInstallationsAppendTwoSections) {
  WriteInstallLog("Installed: a.dll\r\n", false, core::String(), true, "2.1");
  // The second one: a reinstallation with errors in automatic mode and a
  // blank product version.
  payload::SetAutomaticMode(true);
  BoxCalls().clear();
  WriteInstallLog(core::String(), true, "Unable to install b.dll\r\n", true, " \t ");

  std::string first = Header(false, "2.1") + "Installed: a.dll\r\n\r\n";
  std::string second = Header(true, nullptr) + "Unable to install b.dll\r\n" + kErrorsCaption + "\r\n\r\n";
  EXPECT_EQ(Log(), first + second);
  EXPECT_TRUE(BoxCalls().empty());
}

TEST_F(InstallLogTest, WhenASectionIsWritten) {
  struct Case {
    bool alwaysLog;  // ProductFlags 0x40
    const char* logText;
    const char* errorText;
    bool written;
  } cases[] = {
      {false, "", "", false},
      {true, "", "", true},
      {false, "Installed: a.dll\r\n", "", true},
      {false, "", "Unable to install b.dll\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.alwaysLog << " '" << c.logText << "' '" << c.errorText << "'");
    platform::RemoveFile(Path("Uninstall\\Install.LOG").CStr());
    payload::SetProductFlags(c.alwaysLog ? format::kFlagAlwaysLog : 0);
    BoxCalls().clear();
    WriteInstallLog(c.logText, false, c.errorText, true, "");
    EXPECT_EQ(Log() != "<missing>", c.written);
    // The closing box comes either way: the question when clean, the error
    // box otherwise.
    ASSERT_EQ(BoxCalls().size(), 1u);
    EXPECT_EQ(BoxCalls()[0].caption, *c.errorText ? kErrorsCaption : kLogCaption);
  }
  // Everything empty with 0x40: the header alone.
  payload::SetProductFlags(format::kFlagAlwaysLog);
  platform::RemoveFile(Path("Uninstall\\Install.LOG").CStr());
  WriteInstallLog("", false, "", true, nullptr);
  EXPECT_EQ(Log(), Header(false, nullptr));
}

TEST_F(InstallLogTest, ErrorBoxAndTheErrorTrailer) {
  struct Case {
    bool report;
    bool automatic;
    u32 flags;
    bool box;
    bool trailer;
  } cases[] = {
      {true, false, 0, true, true},
      {true, false, format::kFlagNoLogErrorBox, false, true},
      {true, true, 0, false, true},
      {false, false, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.report << c.automatic << " " << c.flags);
    platform::RemoveFile(Path("Uninstall\\Install.LOG").CStr());
    payload::SetAutomaticMode(c.automatic);
    payload::SetProductFlags(c.flags);
    BoxCalls().clear();
    core::String errors("Unable to create C:\\x\r\n");
    WriteInstallLog("", false, errors, c.report, "1.0");
    EXPECT_STREQ(errors.CStr(), "Unable to create C:\\x\r\n");  // the caller's text is left alone
    std::string expected = Header(false, "1.0") + "Unable to create C:\\x\r\n";
    if (c.trailer) expected += std::string(kErrorsCaption) + "\r\n\r\n";
    EXPECT_EQ(Log(), expected);
    if (c.box) {
      ASSERT_EQ(BoxCalls().size(), 1u);
      EXPECT_EQ(BoxCalls()[0].text, kErrorsText);
      EXPECT_EQ(BoxCalls()[0].caption, kErrorsCaption);
      EXPECT_EQ(BoxCalls()[0].style, platform::kBoxOk | platform::kBoxIconAsterisk);
    } else {
      EXPECT_TRUE(BoxCalls().empty());
    }
  }
}

TEST_F(InstallLogTest, LongTextsAreWrittenWhole) {
  // Far beyond what one formatting call produces.
  std::string logText;
  while (logText.size() < 100000) logText += "Installed: C:\\Acme\\some\\rather\\long\\file\\name.dat\r\n";
  WriteInstallLog(logText.c_str(), false, "", false, "");
  EXPECT_EQ(Log(), Header(false, nullptr) + logText + "\r\n");
}

#ifndef _WIN32
// Opening the log: the shell has no counterpart in the sandbox, so the text
// editor is started, "notepad.exe <log path>". A stand-in notepad.exe in the
// Windows directory records what it was given. Natively only: under Wine a
// real editor would open.
class InstallLogViewerTest : public InstallLogTest {
 protected:
  void SetUp() override {
    InstallLogTest::SetUp();
    platform::posix::SandboxPath editor;
    ASSERT_TRUE(platform::posix::ResolvePath("C:\\WINDOWS\\notepad.exe", &editor));
    FILE* script = std::fopen(editor.host.CStr(), "w");
    ASSERT_NE(script, nullptr);
    std::fputs("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> viewer.txt\n", script);
    std::fclose(script);
    ASSERT_EQ(chmod(editor.host.CStr(), 0755), 0);
  }

  // The viewer's record once it has one line; it runs without being waited for.
  std::string WaitForViewer() {
    for (int i = 0; i < 500; ++i) {
      std::string text = Get("viewer.txt");
      if (text != "<missing>" && text.find('\n') != std::string::npos) return text;
      platform::SleepMilliseconds(10);
    }
    return "<nothing>";
  }
};

TEST_F(InstallLogViewerTest, YesOpensTheLogInTheEditor) {
  // First a log that cannot be written (its folder is gone): no offer to
  // view it is kept.
  payload::Folders().uninstallSubdir = "Missing";
  BoxAnswer() = platform::kIdYes;
  WriteInstallLog("Installed: a.dll\r\n", false, "", true, "");
  EXPECT_EQ(Get("Missing\\Install.LOG"), "<missing>");

  payload::Folders().uninstallSubdir = "Uninstall";
  WriteInstallLog("Installed: a.dll\r\n", false, "", true, "");
  EXPECT_EQ(WaitForViewer(), "1|" + logPath_ + "\n");
}
#endif

}  // namespace
}  // namespace kova::install
