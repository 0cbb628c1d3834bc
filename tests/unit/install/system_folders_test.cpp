// Folder lookups: registry value first, fallback when it is missing or
// empty, composed fallbacks through the other lookups.
#include "install/system_folders.h"

#include <gtest/gtest.h>

#include <string>

#include "core/paths.h"
#include "install/folder_fixture.h"
#include "payload/system_paths.h"

namespace kova::install {
namespace {

using FolderLookup = core::String (*)();

std::string UnderWindows(const char* name) { return core::JoinPath(payload::GetSystemPaths().windowsDir.CStr(), name).CStr(); }

class SystemFolders : public testing::FolderTest {};

TEST_F(SystemFolders, EmptyRegistryGivesTheFallbacks) {
  struct Case {
    const char* what;
    FolderLookup lookup;
    std::string expected;
  } cases[] = {
      {"programs", ProgramsDir, "c:\\Program Files"},
      {"common files", CommonFilesDir, "c:\\Program Files\\Common Files"},
      {"device", DeviceDir, UnderWindows("INF")},
      {"media", MediaDir, UnderWindows("Media")},
      {"favorites", FavoritesDir, UnderWindows("Favorites")},
      {"fonts", FontDir, UnderWindows("Fonts")},
      {"desktop", DesktopDir, UnderWindows("Desktop")},
      {"documents", DocumentDir, "c:\\My Documents"},
      {"start menu", StartMenuDir, UnderWindows("Start Menu")},
      {"programs menu", SMProgramsDir, UnderWindows("Start Menu\\Programs")},
      {"startup", StartupDir, UnderWindows("Start Menu\\Programs\\StartUp")},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.lookup().CStr(), c.expected.c_str()) << c.what;
  EXPECT_EQ(BootDrive(), 'C');
}

TEST_F(SystemFolders, RegistryValuesWinAndComposedFallbacksFollowThem) {
  SetShellFolder("Start Menu", "D:\\Menu");
  SetWindowsSetting("ProgramFilesDir", "E:\\Apps");
  SetShellFolder("Desktop", "");  // empty counts as missing
  EXPECT_STREQ(StartMenuDir().CStr(), "D:\\Menu");
  EXPECT_STREQ(SMProgramsDir().CStr(), "D:\\Menu\\Programs");
  EXPECT_STREQ(StartupDir().CStr(), "D:\\Menu\\Programs\\StartUp");
  EXPECT_STREQ(ProgramsDir().CStr(), "E:\\Apps");
  EXPECT_STREQ(CommonFilesDir().CStr(), "E:\\Apps\\Common Files");
  EXPECT_STREQ(DesktopDir().CStr(), UnderWindows("Desktop").c_str());

  SetShellFolder("Programs", "F:\\Progs");
  EXPECT_STREQ(StartupDir().CStr(), "F:\\Progs\\StartUp") << "each call reads the registry afresh";
  SetShellFolder("Startup", "G:\\Up");
  EXPECT_STREQ(StartupDir().CStr(), "G:\\Up");
  SetWindowsSetting("CommonFilesDir", "H:\\Common");
  EXPECT_STREQ(CommonFilesDir().CStr(), "H:\\Common");
}

TEST_F(SystemFolders, OneTrailingBackslashIsDroppedExceptFromADriveRoot) {
  struct Case {
    const char* stored;
    const char* read;
  } cases[] = {
      {"C:\\", "C:\\"},
      {"C:\\Users\\Desktop\\", "C:\\Users\\Desktop"},
      {"C:\\Users\\Desktop\\\\", "C:\\Users\\Desktop\\"},
      {"ab\\", "ab\\"},
      {"abcd\\", "abcd"},
  };
  for (const Case& c : cases) {
    SetShellFolder("Desktop", c.stored);
    EXPECT_STREQ(ReadShellFolder("Desktop").CStr(), c.read) << c.stored;
    SetWindowsSetting("MediaPath", c.stored);
    EXPECT_STREQ(ReadWindowsSetting("MediaPath").CStr(), c.read) << c.stored;
  }
}

TEST_F(SystemFolders, BootDrive) {
  struct Case {
    const char* bootDir;
    char drive;
  } cases[] = {
      {"d:\\", 'D'}, {"E:", 'E'}, {"\\\\server\\boot", 'C'}, {"1:\\", 'C'}, {"x", 'C'}, {"", 'C'},
  };
  for (const Case& c : cases) {
    SetSetting("Setup", "BootDir", c.bootDir);
    EXPECT_EQ(BootDrive(), c.drive) << c.bootDir;
  }
}

TEST(SystemPaths, CommandInterpreter) {
  struct Case {
    const char* comspec;
    const char* interpreter;
  } cases[] = {
      {"C:\\WINDOWS\\COMMAND.COM", "C:\\WINDOWS\\COMMAND.COM"},
      {"C:\\Program Files\\sh.exe", "\"C:\\Program Files\\sh.exe\""},
      {nullptr, "C:\\WIN\\command.com"},
      {"", "C:\\WIN\\command.com"},
      {" \t\r\n", "C:\\WIN\\command.com"},
      {"%comspec%", "C:\\WIN\\command.com"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(payload::CommandInterpreterFor(c.comspec, "C:\\WIN").CStr(), c.interpreter) << (c.comspec ? c.comspec : "null");
  EXPECT_STREQ(payload::CommandInterpreterFor(nullptr, "C:\\My Windows").CStr(), "\"C:\\My Windows\\command.com\"");
}

}  // namespace
}  // namespace kova::install
