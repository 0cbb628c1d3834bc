// A throw-away registry for one test. Every test works below its own key,
// HKEY_CURRENT_USER\Software\KovaTest\<process>-<suite>.<test>, deleted again
// afterwards. Natively that key lives in a fresh sandbox (its own root under
// the temporary folder, so its own registry.db); under Wine it is the real
// registry of the prefix. The same cases run on both, so a case that passes
// on one and fails on the other shows a fault of the platform layer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "system/registry.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/posix/registry_database.h"
#include "platform/posix/sandbox.h"
#endif

namespace kova::testing {

// Deletes parent\name with everything below it, using only the raw registry
// (so a fault of the registry layer cannot hide behind its own cleanup).
// Each level is opened below the one above: a full path could grow past what
// the ANSI calls accept.
inline void DeleteRegistryTree(platform::RegistryKey parent, const std::string& name) {
  platform::RegistryKey key = 0;
  if (platform::OpenRegistryKey(parent, name.c_str(), &key) != platform::kErrorSuccess) return;
  std::vector<std::string> children;
  char child[256];
  for (u32 i = 0; platform::EnumRegistryKey(key, i, child, sizeof child) == platform::kErrorSuccess; ++i)
    children.emplace_back(child);
  for (const std::string& each : children) DeleteRegistryTree(key, each);
  platform::CloseRegistryKey(key);
  platform::DeleteRegistryKey(parent, name.c_str());
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    std::string pattern = (std::filesystem::temp_directory_path() / "kova-registry-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    sandbox_ = pattern;
    platform::posix::SetSandboxRoot(sandbox_.c_str());
#endif
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    name_ = std::to_string(ProcessId()) + "-" + info->test_suite_name() + "." + info->name();
    for (char& c : name_)
      if (c == '/') c = '_';  // parameterised names
    DeleteRegistryTree(platform::kCurrentUser, KeyPath());
  }

  void TearDown() override {
    EXPECT_EQ(system::KeyStackDepth(), 0) << "unbalanced OpenKey/CloseKey";
    while (system::KeyStackDepth() > 0) system::CloseKey();
    DeleteRegistryTree(platform::kCurrentUser, KeyPath());
    // Fails, as it should, while another run still has keys below it.
    platform::DeleteRegistryKey(platform::kCurrentUser, "Software\\KovaTest");
#ifndef _WIN32
    platform::posix::CloseRegistryDatabase();
    std::error_code ignored;
    std::filesystem::remove_all(sandbox_, ignored);
#endif
  }

  // This test's key below HKEY_CURRENT_USER.
  std::string KeyPath() const { return "Software\\KovaTest\\" + name_; }
  // The same below "Software\", for the operations with a per-user flag.
  std::string SoftwarePath() const { return "KovaTest\\" + name_; }
  // A path below this test's key.
  std::string Below(const std::string& path) const { return KeyPath() + "\\" + path; }

 private:
  static int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
  }

  std::string name_;
#ifndef _WIN32
  std::string sandbox_;
#endif
};

}  // namespace kova::testing
