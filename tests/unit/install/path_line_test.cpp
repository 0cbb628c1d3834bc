// The PATH line of autoexec.bat: adding and removing it in every shape of
// file an installation and its uninstaller meet, the round trip, lines that only look like
// ours, and the text for a file that cannot be opened.
#include <gtest/gtest.h>

#include <string>

#include "install/path_line.h"
#include "install/temp_files.h"
#include "payload/folders.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "support/file_system_fixture.h"

namespace kova::system {
namespace {

using PathLineTest = test::FileSystemTest;

constexpr const char* kLine = "PATH=%PATH%;C:\\PROGRA~1\\ACME\r\n";

std::string CannotModify(const std::string& file, const char* verb, const char* preposition) {
  return "Unable to modify " + file + ".  You will need to manually " + verb +
         " C:\\Program Files\\Acme " + preposition + " the PATH environment variable.\r\n\r\n";
}

TEST_F(PathLineTest, AddsAndRemovesTheLine) {
  struct Case {
    const char* before;  // null: no file
    bool add;
    const char* after;
  } cases[] = {
      // Adding: the line at the end, completing a last line without a break.
      {nullptr, true, "\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      {"", true, "\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      {"@ECHO OFF\r\n", true, "@ECHO OFF\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      {"@ECHO OFF\n", true, "@ECHO OFF\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      {"@ECHO OFF", true, "@ECHO OFF\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      {"path=%path%;c:\\progra~1\\acme\r\nREM x\r\n", true, "path=%path%;c:\\progra~1\\acme\r\nREM x\r\n"},
      // Another product's longer folder is no reason not to add ours.
      {"PATH=%PATH%;C:\\PROGRA~1\\ACME2\r\n", true,
       "PATH=%PATH%;C:\\PROGRA~1\\ACME2\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      // Removing: the first whole line, in any letter case.
      {"A\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\nB\r\n", false, "A\r\nB\r\n"},
      {"A\r\npath=%Path%;c:\\Progra~1\\Acme\r\nB\r\n", false, "A\r\nB\r\n"},
      {"PATH=%PATH%;C:\\PROGRA~1\\ACME\r\nB\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n", false,
       "B\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      // ... or the last line, its break lost.
      {"A\r\nPATH=%PATH%;C:\\PROGRA~1\\ACME", false, "A\r\n"},
      {"A\nPATH=%PATH%;C:\\PROGRA~1\\ACME\n", false, "A\n\n"},
      {"A\r\nB\r\n", false, "A\r\nB\r\n"},
      {"", false, ""},
      // Lines that only contain ours stay whole.
      {"PATH=%PATH%;C:\\PROGRA~1\\ACME2\r\n", false, "PATH=%PATH%;C:\\PROGRA~1\\ACME2\r\n"},
      {"SET PATH=%PATH%;C:\\PROGRA~1\\ACME\r\n", false, "SET PATH=%PATH%;C:\\PROGRA~1\\ACME\r\n"},
      {"A\r\nPATH=%PATH%;C:\\PROGRA~1\\ACMEX", false, "A\r\nPATH=%PATH%;C:\\PROGRA~1\\ACMEX"},
  };
  core::String file = Path("autoexec.bat");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.add ? "add to " : "remove from ")
                                    << (c.before ? testing::PrintToString(c.before) : "no file"));
    platform::RemoveFile(file.CStr());
    if (c.before) Put("autoexec.bat", c.before);
    core::String result = install::ModifyPathLine(file.CStr(), "C:\\Program Files\\Acme", "C:\\PROGRA~1\\ACME", c.add);
    EXPECT_STREQ(result.CStr(), "");
    EXPECT_EQ(Get("autoexec.bat"), c.after);
  }
}

TEST_F(PathLineTest, AddingTwiceThenRemovingGivesTheFileBack) {
  const char* original = "@ECHO OFF\r\nSET TEMP=C:\\TEMP\r\n";
  Put("autoexec.bat", original);
  core::String file = Path("autoexec.bat");
  EXPECT_STREQ(install::ModifyPathLine(file.CStr(), "C:\\Program Files\\Acme", "C:\\PROGRA~1\\ACME", true).CStr(), "");
  EXPECT_STREQ(install::ModifyPathLine(file.CStr(), "C:\\Program Files\\Acme", "C:\\PROGRA~1\\ACME", true).CStr(), "");
  EXPECT_EQ(Get("autoexec.bat"), std::string(original) + kLine);
  EXPECT_STREQ(install::ModifyPathLine(file.CStr(), "C:\\Program Files\\Acme", "C:\\PROGRA~1\\ACME", false).CStr(), "");
  EXPECT_EQ(Get("autoexec.bat"), original);
}

TEST_F(PathLineTest, FileThatCannotBeOpened) {
  core::String missing = Path("autoexec.bat");
  EXPECT_EQ(std::string(install::ModifyPathLine(missing.CStr(), "C:\\Program Files\\Acme", "C:\\PROGRA~1\\ACME", false).CStr()),
            CannotModify(missing.CStr(), "remove", "from"));
  EXPECT_FALSE(Exists("autoexec.bat"));  // removing never creates it

  core::String noFolder = Path("no-such-folder\\autoexec.bat");
  EXPECT_EQ(std::string(install::ModifyPathLine(noFolder.CStr(), "C:\\Program Files\\Acme", "C:\\PROGRA~1\\ACME", true).CStr()),
            CannotModify(noFolder.CStr(), "add", "to"));
}

#ifndef _WIN32
// The boot drive's autoexec.bat with the short form of InstallDir. Natively
// only, in the sandbox: under Wine it would be the prefix's own file.
TEST_F(PathLineTest, ModifyPathUsesTheBootDriveAndTheShortInstallDir) {
  ASSERT_TRUE(platform::MakeDirectory(Path("Acme Tools Folder").CStr()));
  payload::Folders().installDir = Path("Acme Tools Folder");
  core::String shortDir = install::ShortPath(payload::Folders().installDir.CStr());
  ASSERT_STRNE(shortDir.CStr(), payload::Folders().installDir.CStr());

  EXPECT_STREQ(install::ModifyPath(true).CStr(), "");
  std::string line = std::string("PATH=%PATH%;") + shortDir.CStr() + "\r\n";
  platform::ScopedFile file(platform::OpenFileHandle("C:\\autoexec.bat", platform::kAccessRead, 0,
                                                     platform::kOpenExisting, platform::kAttributeNormal));
  ASSERT_TRUE(file);
  char text[512] = {};
  u32 done = 0;
  ASSERT_TRUE(platform::ReadFileData(file.Get(), text, sizeof text - 1, &done));
  file.Reset();
  EXPECT_EQ(std::string(text, done), "\r\n" + line);

  EXPECT_STREQ(install::ModifyPath(false).CStr(), "");
  platform::RemoveFile("C:\\autoexec.bat");
  EXPECT_EQ(std::string(install::ModifyPath(false).CStr()),
            std::string("Unable to modify C:\\autoexec.bat.  You will need to manually remove ") +
                payload::Folders().installDir.CStr() + " from the PATH environment variable.\r\n\r\n");
  payload::Folders() = payload::InstallFolders();
}
#endif

}  // namespace
}  // namespace kova::system
