// The directory defaults of the install script and the two expansions of
// install variables.
#include "install/install_variables.h"

#include <gtest/gtest.h>

#include <string>

#include "core/paths.h"
#include "install/directories.h"
#include "install/folder_fixture.h"
#include "install/system_folders.h"
#include "install/temp_files.h"
#include "payload/system_paths.h"

namespace kova::install {
namespace {

class InstallVariables : public testing::FolderTest {};

TEST_F(InstallVariables, DefaultDirectory) {
  payload::Folders().productName = "Product";
  const payload::SystemPaths& paths = payload::GetSystemPaths();
  std::string windows = paths.windowsDir.CStr();
  std::string installerDrive = paths.installerDrive ? std::string(1, paths.installerDrive) : "";
  struct Case {
    const char* text;
    std::string expanded;
  } cases[] = {
      {"", "c:\\Program Files\\Product"},
      {"%ProgramsDir%\\Tools", "c:\\Program Files\\Tools"},
      {"<MASTER>", "<MASTER>"},
      {"<master>", "<master>"},
      {"Sub\\Dir", "c:\\Program Files\\Sub\\Dir"},
      {"<OS>\\App", windows + "\\App"},
      {"%windir%\\App", windows + "\\App"},
      {"%BootDrive%:\\App", "C:\\App"},
      {"%installerdrive%:\\App", installerDrive + ":\\App"},
      {"%SystemDir%\\x", std::string(SystemDir().CStr()) + "\\x"},
      {"%DesktopDir%", windows + "\\Desktop"},
      {"%StartupDir%", windows + "\\Start Menu\\Programs\\StartUp"},
      {"%DocumentDir%\\Mine", "c:\\My Documents\\Mine"},
      {"%InstallDir%\\x", "c:\\Program Files\\%InstallDir%\\x"},
  };
  for (const Case& c : cases) EXPECT_STREQ(ExpandDefaultDirectory(c.text).CStr(), c.expanded.c_str()) << c.text;
}

TEST_F(InstallVariables, DefaultDirectorySeesTheSharedDirectoryAndTheRegistry) {
  payload::Folders().sharedDir = "D:\\Shared";
  SetWindowsSetting("ProgramFilesDir", "E:\\Apps\\");
  EXPECT_STREQ(ExpandDefaultDirectory("%SharedDir%\\App").CStr(), "D:\\Shared\\App");
  EXPECT_STREQ(ExpandDefaultDirectory("App").CStr(), "E:\\Apps\\App");
  SetShellFolder("Personal", "F:\\Docs");
  EXPECT_STREQ(ExpandDefaultDirectory("%DOCUMENTDIR%").CStr(), "F:\\Docs");
}

TEST_F(InstallVariables, ExpandInstallVariables) {
  payload::Folders().installDir = "d:\\Games\\App";
  payload::Folders().sharedDir = "C:\\Shared";
  core::String text("%installdir%\\a.exe %INSTALLDRIVE% %SharedDir% %BootDrive%\\ %ProgramsDir% %WinDir% %DesktopDir%");
  ExpandInstallVariables(text);
  EXPECT_STREQ(text.CStr(), "d:\\Games\\App\\a.exe D C:\\Shared C:\\ c:\\Program Files %WinDir% %DesktopDir%");

  core::String system("%SystemDir%");
  ExpandInstallVariables(system);
  EXPECT_STREQ(system.CStr(), SystemDir().CStr());

  payload::Folders().installDir = "\\\\server\\share\\App";
  core::String network("[%InstallDrive%]");
  ExpandInstallVariables(network);
  EXPECT_STREQ(network.CStr(), "[]") << "no drive letter expands to nothing";
}

TEST_F(InstallVariables, DirectoryDefaults) {
  // The common files folder of this test, so the shared directories it
  // creates stay out of the machine's own folders.
  std::string testName = KeyPath().substr(KeyPath().rfind('\\') + 1);
  std::string common = std::string(TempDirectory().CStr()) + "KovaCommon-" + testName;
  SetWindowsSetting("CommonFilesDir", common.c_str());
  struct Case {
    const char *publisher, *product, *shared, *startMenu;
    bool uninstallSupport;
    std::string sharedDir;
    const char* productStartMenu;
  } cases[] = {
      {"Acme", "Rocket", "", "", true, common + "\\Acme", "Acme\\Rocket"},
      {"", "Rocket", "", "", true, common + "\\Rocket", "Rocket"},
      {"  ", "Rocket", "", "", true, common + "\\Rocket", "  \\Rocket"},
      {"Acme", "Rocket", common.c_str(), "Games\\Rocket", true, common, "Games\\Rocket"},
      {"Acme", "Rocket", "Lib\\Sub", "", true, common + "\\Lib\\Sub", "Acme\\Rocket"},
      {"Acme", "Rocket", "Lib", "", false, "", "Acme\\Rocket"},
  };
  for (const Case& c : cases) {
    payload::Folders() = payload::InstallFolders();
    DirectoryTexts texts;
    texts.publisher = c.publisher;
    texts.productName = c.product;
    texts.sharedDir = c.shared;
    texts.productStartMenu = c.startMenu;
    texts.defaultDir = "";
    ApplyDirectoryDefaults(texts, c.uninstallSupport);
    EXPECT_STREQ(payload::Folders().sharedDir.CStr(), c.sharedDir.c_str()) << c.publisher << "/" << c.shared;
    if (c.uninstallSupport) {
      EXPECT_TRUE(DirectoryExists(c.sharedDir.c_str())) << c.sharedDir << " was not created";
    }
    EXPECT_STREQ(payload::Folders().productStartMenu.CStr(), c.productStartMenu) << c.publisher << "/" << c.startMenu;
    EXPECT_STREQ(payload::Folders().publisher.CStr(), c.publisher);
    EXPECT_STREQ(payload::Folders().defaultDir.CStr(), (std::string("c:\\Program Files\\") + c.product).c_str());
  }
  EXPECT_TRUE(DeleteTree(common.c_str()));
}

TEST_F(InstallVariables, ACommandLineProductNameIsKept) {
  payload::Folders().productName = "FromCommandLine";
  DirectoryTexts texts;
  texts.publisher = "";
  texts.productName = "FromScript";
  texts.defaultDir = "%SharedDir%\\x";
  texts.sharedDir = "D:\\Shared";
  ApplyDirectoryDefaults(texts, false);
  EXPECT_STREQ(payload::Folders().productName.CStr(), "FromCommandLine");
  EXPECT_STREQ(payload::Folders().sharedDir.CStr(), "") << "not recorded for uninstalling: no shared directory";
  EXPECT_STREQ(payload::Folders().defaultDir.CStr(), "c:\\x") << "an empty %SharedDir% leaves a rooted path";
  EXPECT_STREQ(payload::Folders().productStartMenu.CStr(), "FromCommandLine");
}

}  // namespace
}  // namespace kova::install
