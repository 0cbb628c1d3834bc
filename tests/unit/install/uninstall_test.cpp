// The uninstaller's judgement of what Uninstall.DAT names, its self-deletion
// batch, and the restart flags.
#include "install/uninstall.h"

#include <gtest/gtest.h>

#include <string>

#include "install/system_folders.h"
#include "payload/folders.h"
#include "payload/system_paths.h"
#include "platform/restart.h"

namespace kova::install {
namespace {

TEST(UninstallData, WhatMayBeRemoved) {
  payload::InstallFolders& folders = payload::Folders();
  payload::InstallFolders saved = folders;
  folders.installDir = "C:\\Apps\\Acme";
  folders.sharedDir = "C:\\Program Files\\Common Files\\Acme";
  core::String desktop = DesktopDir();
  struct Case {
    std::string path;
    bool file, folder;
  } cases[] = {
      {"C:\\Apps\\Acme\\a.txt", true, true},
      {"c:\\apps\\acme\\Sub\\b.txt", true, true},
      {"C:\\Apps\\Acme", false, false},               // the folder itself: left to the self-deletion
      {"C:\\Apps\\AcmeOther\\a.txt", false, false},   // a neighbour with the same beginning
      {"C:\\Apps\\Acme\\..\\Other\\a.txt", false, false},
      {"C:\\Apps\\Acme\\ . \\a.txt", false, false},
      {"C:\\Apps\\Acme/../../x", false, false},
      {"C:\\Program Files\\Common Files\\Acme\\s.dll", true, true},
      {"C:\\Program Files\\Common Files\\Acme", false, true},  // removed when empty
      {"C:\\Program Files\\Common Files\\x.dll", false, false},
      {std::string(desktop.CStr()) + "\\Acme.LNK", true, false},
      {"C:\\autoexec.bat", false, false},
      {"Apps\\Acme\\a.txt", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsRemovableFile(c.path.c_str()), c.file) << c.path;
    EXPECT_EQ(IsRemovableFolder(c.path.c_str()), c.folder) << c.path;
  }
  folders = saved;
}

TEST(UninstallData, ClassKeysThatMayBeRemovedWhole) {
  struct Case {
    const char* key;
    bool removable;
  } cases[] = {
      {"Acme.Document", true}, {"Acme.Document\\shell\\open", true}, {".acme", false}, {".acme\\ShellNew", false},
      {"CLSID", false},        {"clsid\\{1234}", false},             {"*", false},     {"\\Acme", false},
      {"Acme\\..\\CLSID", false}, {"", false},                       {"exefile", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRemovableClassKey(c.key), c.removable) << c.key;
}

TEST(SelfDeletion, BatchRetriesForAMinuteThenRemovesTheFolders) {
  core::String text = SelfDeleteBatch("C:\\Acme\\Uninstall\\Uninst.exe", "C:\\Acme\\Uninstall", "C:\\Acme",
                                      "C:\\TEMP\\KD00ABCD.BAT");
  EXPECT_STREQ(text.CStr(),
               "set KOVATRY=\r\n"
               ":Repeat\r\n"
               "del \"C:\\Acme\\Uninstall\\Uninst.exe\"\r\n"
               "if not exist \"C:\\Acme\\Uninstall\\Uninst.exe\" goto Removed\r\n"
               "set KOVATRY=%KOVATRY%.\r\n"
               "if \"%KOVATRY%\"==\"............................................................\" goto Removed\r\n"
               "ping -n 2 127.0.0.1 > nul\r\n"
               "goto Repeat\r\n"
               ":Removed\r\n"
               "rd \"C:\\Acme\\Uninstall\"\r\n"
               "rd \"C:\\Acme\"\r\n"
               "del \"C:\\TEMP\\KD00ABCD.BAT\"\r\n");
  core::String plain = SelfDeleteBatch("C:\\Acme\\Uninst.exe", "", "C:\\Acme", "C:\\TEMP\\KD1.BAT");
  std::string tail(plain.CStr());
  EXPECT_EQ(tail.substr(tail.find(":Removed")), ":Removed\r\nrd \"C:\\Acme\"\r\ndel \"C:\\TEMP\\KD1.BAT\"\r\n");
}

TEST(Restart, ExitWindowsFlagsOfEachMode) {
  EXPECT_EQ(platform::ExitWindowsFlags(platform::kRestartReboot, false), 0x12u);
  EXPECT_EQ(platform::ExitWindowsFlags(2, true), 0x6u);
  EXPECT_EQ(platform::ExitWindowsFlags(1, false), 0x18u);
  EXPECT_EQ(platform::ExitWindowsFlags(3, false), 0x10u);
  EXPECT_EQ(platform::ExitWindowsFlags(0, true), 0x5u);
}

}  // namespace
}  // namespace kova::install
