// A throw-away folder for tests of the file services, the same on both
// platforms: natively a fresh sandbox root under /tmp (set with
// platform::posix::SetSandboxRoot, removed afterwards) and a folder in its
// temporary directory; under Wine a fresh folder in the real temporary
// directory. The folder is the current directory while a test runs.
//
// It also starts helper processes: this test binary again, running one
// disabled test (FileHelperProcess.DISABLED_...) with --kova-... arguments,
// so "another process" is real on both platforms.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "core/string.h"
#include "install/directories.h"
#include "install/temp_files.h"
#include "platform/child_process.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_error.h"

#ifndef _WIN32
#include <ftw.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/posix/sandbox.h"
#include "platform/posix/sandbox_paths.h"
#endif

namespace kova::test {

// The value of --kova-<name>=... on this process's command line, or null.
inline const char* HelperArgument(const char* name) {
  static std::vector<std::string> arguments = testing::internal::GetArgvs();
  std::string prefix = std::string("--kova-") + name + "=";
  for (const std::string& argument : arguments)
    if (argument.compare(0, prefix.size(), prefix) == 0) return argument.c_str() + prefix.size();
  return nullptr;
}

// This test binary's own Windows path.
inline core::String SelfPath() {
#ifdef _WIN32
  return platform::ModuleFileName();
#else
  char host[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", host, sizeof host - 1);
  if (n > 0) host[n] = '\0';
  return platform::posix::WindowsPathOfHost(host);
#endif
}

// The command line that runs FileHelperProcess.DISABLED_<test> in a new copy
// of this binary, with --kova-<name>="<value>" for each pair (and the sandbox
// root natively).
inline core::String HelperCommandLine(const char* test, std::initializer_list<std::pair<const char*, const char*>> args) {
  core::String line = core::Formatted("\"%s\" --gtest_filter=FileHelperProcess.DISABLED_%s "
                                      "--gtest_also_run_disabled_tests --gtest_brief=1",
                                      SelfPath().CStr(), test);
  for (const auto& [name, value] : args) line.AppendFormat(" \"--kova-%s=%s\"", name, value);
#ifndef _WIN32
  line.AppendFormat(" \"--kova-root=%s\"", platform::posix::SandboxRoot().CStr());
#endif
  return line;
}

// In a helper process: take the sandbox root the parent passed.
inline void AdoptParentSandbox() {
#ifndef _WIN32
  if (const char* root = HelperArgument("root")) platform::posix::SetSandboxRoot(root);
#endif
}

class FileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    static core::String original = install::CurrentDirectory();
    original_ = original;
#ifndef _WIN32
    char root[] = "/tmp/kova-unit-XXXXXX";
    ASSERT_NE(mkdtemp(root), nullptr);
    hostRoot_ = root;
    platform::posix::SetSandboxRoot(root);
#endif
    static int counter = 0;
    for (int i = 0; i < 1000 && dir_.IsEmpty(); ++i) {
      core::String candidate = core::Formatted("%skova-unit-%u-%d", install::TempDirectory().CStr(),
                                               platform::TickCount(), ++counter);
      if (platform::MakeDirectory(candidate.CStr())) dir_ = candidate;
    }
    ASSERT_FALSE(dir_.IsEmpty());
    ASSERT_TRUE(platform::SetCurrentDirectoryPath(dir_.CStr()));
  }

  void TearDown() override {
    platform::SetCurrentDirectoryPath(original_.CStr());
    if (!dir_.IsEmpty()) {
      // Read-only leftovers must not keep the folder alive.
      install::DeleteTree(dir_.CStr());
    }
#ifndef _WIN32
    auto remove = [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); };
    nftw(hostRoot_.c_str(), remove, 16, FTW_DEPTH | FTW_PHYS);
#endif
  }

  core::String Path(const char* name) const { return core::JoinPath(dir_.CStr(), name); }

  // Writes a whole file through the platform layer (not the code under test).
  void Put(const char* name, const char* text) {
    platform::ScopedFile file(platform::OpenFileHandle(Path(name).CStr(), platform::kAccessWrite, 0,
                                                       platform::kCreateAlways, platform::kAttributeNormal));
    ASSERT_TRUE(file) << name << ": error " << platform::LastSystemError();
    u32 done = 0;
    auto length = static_cast<u32>(std::strlen(text));
    ASSERT_TRUE(platform::WriteFileData(file.Get(), text, length, &done));
    ASSERT_EQ(done, length);
  }

  // Reads a whole file through the platform layer; "<missing>" when it cannot.
  std::string Get(const char* name) {
    platform::ScopedFile file(platform::OpenFileHandle(Path(name).CStr(), platform::kAccessRead,
                                                       platform::kShareRead | platform::kShareWrite,
                                                       platform::kOpenExisting, platform::kAttributeNormal));
    if (!file) return "<missing>";
    std::string text;
    char block[4096];
    u32 done = 0;
    while (platform::ReadFileData(file.Get(), block, sizeof block, &done) && done > 0) text.append(block, done);
    return text;
  }

  bool Exists(const char* name) const {
    return platform::FileAttributesOf(Path(name).CStr()) != platform::kInvalidAttributes;
  }

  core::String dir_;
  core::String original_;
#ifndef _WIN32
  std::string hostRoot_;
#endif
};

}  // namespace kova::test
