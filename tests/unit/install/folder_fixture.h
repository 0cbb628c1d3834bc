// A throw-away registry (see system/registry_fixture.h) with the folder
// lookups pointed at it, so the machine's own settings are never read or
// changed, and clean installation folders.
#pragma once

#include <string>

#include "install/system_folders.h"
#include "payload/folders.h"
#include "system/registry_fixture.h"

namespace kova::testing {

class FolderTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    install::SetFolderKeys(platform::kCurrentUser, platform::kCurrentUser, CurrentVersion().c_str());
    payload::Folders() = payload::InstallFolders();
  }
  void TearDown() override {
    install::ResetFolderKeys();
    payload::Folders() = payload::InstallFolders();
    RegistryTest::TearDown();
  }

  std::string CurrentVersion() const { return Below("CurrentVersion"); }

  // Stores a text value below the stand-in of "...\CurrentVersion".
  void SetSetting(const std::string& key, const char* name, const char* text) {
    std::string path = CurrentVersion() + (key.empty() ? "" : "\\" + key);
    ASSERT_TRUE(system::OpenKey(platform::kCurrentUser, path.c_str(), 0));
    EXPECT_TRUE(system::SetStringValue(name, text, 0));
    system::CloseKey();
  }
  void SetShellFolder(const char* name, const char* text) { SetSetting("Explorer\\Shell Folders", name, text); }
  void SetWindowsSetting(const char* name, const char* text) { SetSetting("", name, text); }
};

}  // namespace kova::testing
