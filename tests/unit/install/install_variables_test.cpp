// The directory defaults of the install script and the two expansions of
// install variables.
#include "install/install_variables.h"

#include <gtest/gtest.h>

#include <string>

#include "install/folder_fixture.h"
#include "install/paths.h"
#include "install/system_folders.h"
#include "install/system_paths.h"

namespace kova::install {
namespace {

class InstallVariables : public testing::FolderTest {};

TEST_F(InstallVariables, DefaultDirectory) {
  Folders().productName = "Product";
  const SystemPaths& paths = GetSystemPaths();
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
  Folders().sharedDir = "D:\\Shared";
  SetWindowsSetting("ProgramFilesDir", "E:\\Apps\\");
  EXPECT_STREQ(ExpandDefaultDirectory("%SharedDir%\\App").CStr(), "D:\\Shared\\App");
  EXPECT_STREQ(ExpandDefaultDirectory("App").CStr(), "E:\\Apps\\App");
  SetShellFolder("Personal", "F:\\Docs");
  EXPECT_STREQ(ExpandDefaultDirectory("%DOCUMENTDIR%").CStr(), "F:\\Docs");
}

TEST_F(InstallVariables, ExpandInstallVariables) {
  Folders().installDir = "d:\\Games\\App";
  Folders().sharedDir = "C:\\Shared";
  core::String text("%installdir%\\a.exe %INSTALLDRIVE% %SharedDir% %BootDrive%\\ %ProgramsDir% %WinDir% %DesktopDir%");
  ExpandInstallVariables(text);
  EXPECT_STREQ(text.CStr(), "d:\\Games\\App\\a.exe D C:\\Shared C:\\ c:\\Program Files %WinDir% %DesktopDir%");

  core::String system("%SystemDir%");
  ExpandInstallVariables(system);
  EXPECT_STREQ(system.CStr(), SystemDir().CStr());

  Folders().installDir = "\\\\server\\share\\App";
  core::String network("[%InstallDrive%]");
  ExpandInstallVariables(network);
  EXPECT_STREQ(network.CStr(), "[]") << "no drive letter expands to nothing";
}

TEST_F(InstallVariables, DirectoryDefaults) {
  struct Case {
    const char *publisher, *product, *shared, *startMenu;
    bool uninstallSupport;
    const char *sharedDir, *productStartMenu;
  } cases[] = {
      {"Acme", "Rocket", "", "", true, "c:\\Program Files\\Common Files\\Acme", "Acme\\Rocket"},
      {"", "Rocket", "", "", true, "c:\\Program Files\\Common Files\\Rocket", "Rocket"},
      {"  ", "Rocket", "", "", true, "c:\\Program Files\\Common Files\\Rocket", "  \\Rocket"},
      {"Acme", "Rocket", "D:\\Lib", "Games\\Rocket", true, "D:\\Lib", "Games\\Rocket"},
      {"Acme", "Rocket", "Lib", "", true, "c:\\Program Files\\Common Files\\Lib", "Acme\\Rocket"},
      {"Acme", "Rocket", "Lib", "", false, "", "Acme\\Rocket"},
  };
  for (const Case& c : cases) {
    Folders() = InstallFolders();
    DirectoryTexts texts;
    texts.publisher = c.publisher;
    texts.productName = c.product;
    texts.sharedDir = c.shared;
    texts.productStartMenu = c.startMenu;
    texts.defaultDir = "";
    ApplyDirectoryDefaults(texts, c.uninstallSupport);
    EXPECT_STREQ(Folders().sharedDir.CStr(), c.sharedDir) << c.publisher << "/" << c.shared;
    EXPECT_STREQ(Folders().productStartMenu.CStr(), c.productStartMenu) << c.publisher << "/" << c.startMenu;
    EXPECT_STREQ(Folders().publisher.CStr(), c.publisher);
    EXPECT_STREQ(Folders().defaultDir.CStr(), (std::string("c:\\Program Files\\") + c.product).c_str());
  }
}

TEST_F(InstallVariables, ACommandLineProductNameIsKept) {
  Folders().productName = "FromCommandLine";
  DirectoryTexts texts;
  texts.publisher = "";
  texts.productName = "FromScript";
  texts.defaultDir = "%SharedDir%";
  texts.sharedDir = "";
  ApplyDirectoryDefaults(texts, true);
  EXPECT_STREQ(Folders().productName.CStr(), "FromCommandLine");
  EXPECT_STREQ(Folders().sharedDir.CStr(), "c:\\Program Files\\Common Files\\FromCommandLine");
  EXPECT_STREQ(Folders().defaultDir.CStr(), "c:\\Program Files\\Common Files\\FromCommandLine");
  EXPECT_STREQ(Folders().productStartMenu.CStr(), "FromCommandLine");
}

}  // namespace
}  // namespace kova::install
