// The uninstall list: the lines the uninstaller reads back.
#include "system/uninstall_list.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::system {
namespace {

class UninstallList : public ::testing::Test {
 protected:
  void SetUp() override { ClearUninstallList(); }
  void TearDown() override { ClearUninstallList(); }
  static std::string Text() { return UninstallListText().CStr(); }
};

TEST_F(UninstallList, DirectoriesAndKeysAreRecordedOnceFilesEveryTime) {
  AddUninstallEntry("C:\\App\\Sub", kUninstallDirectory);
  AddUninstallEntry("c:\\app\\sub", kUninstallDirectory);
  AddUninstallEntry("C:\\App\\a.txt", kUninstallFile);
  AddUninstallEntry("C:\\App\\a.txt", kUninstallFile);
  AddUninstallEntry(".kova\\shell", kUninstallClassesKey);
  AddUninstallEntry(".KOVA\\Shell", kUninstallClassesKey);
  EXPECT_EQ(Text(), "~C:\\App\\Sub\r\nC:\\App\\a.txt\r\nC:\\App\\a.txt\r\n!.kova\\shell\r\n");
}

TEST_F(UninstallList, ShortAndBrokenPathsAreIgnored) {
  AddUninstallEntry(nullptr, kUninstallFile);
  AddUninstallEntry("C:\\", kUninstallDirectory);
  AddUninstallEntry("C:\\", kUninstallFile);
  AddUninstallEntry("", kUninstallFile);
  AddUninstallEntry("C:\\a.txt\r\nC:\\WINDOWS\\win.ini", kUninstallFile);
  AddUninstallEntry("C:\\dir\n", kUninstallDirectory);
  EXPECT_EQ(Text(), "");
  AddUninstallEntry("C:\\a", kUninstallDirectory);
  EXPECT_EQ(Text(), "~C:\\a\r\n");
}

TEST_F(UninstallList, ClearForgetsTheRecordedDirectories) {
  AddUninstallEntry("C:\\App", kUninstallDirectory);
  ClearUninstallList();
  EXPECT_EQ(Text(), "");
  AddUninstallEntry("C:\\APP", kUninstallDirectory);
  EXPECT_EQ(Text(), "~C:\\APP\r\n");
}

TEST_F(UninstallList, ManyDirectories) {
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    std::string path = "C:\\App\\D" + std::to_string(i);
    AddUninstallEntry(path.c_str(), kUninstallDirectory);
    AddUninstallEntry(path.c_str(), kUninstallDirectory);
    expected += "~" + path + "\r\n";
  }
  EXPECT_EQ(Text(), expected);
}

}  // namespace
}  // namespace kova::system
