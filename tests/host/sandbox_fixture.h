// A fresh sandbox root under the temporary folder for one host test, removed
// afterwards, with the registry database closed on both ends.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/posix/registry_database.h"
#include "platform/posix/sandbox.h"

namespace kova::testing {

class SandboxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kova-host-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    platform::posix::CloseRegistryDatabase();
    platform::posix::SetSandboxRoot(root_.c_str());
  }
  void TearDown() override {
    platform::posix::CloseRegistryDatabase();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::string& Root() const { return root_; }
  std::string Database() const { return root_ + "/registry.db"; }

 private:
  std::string root_;
};

}  // namespace kova::testing
