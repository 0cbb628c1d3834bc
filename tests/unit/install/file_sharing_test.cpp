// Files held by another process. The other process is this test binary
// again, started through platform::StartProcess to run the helper test
// below, which holds a file open without sharing until told to stop. Under
// Wine that is a second Win32 process; natively a second sandbox process, so
// the open file description locks are what refuses the opens.
#include <gtest/gtest.h>

#include <cstdlib>

#include "install/file.h"
#include "install/file_operations.h"
#include "install/whole_file.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_error.h"
#include "support/file_system_fixture.h"

namespace kova::install {
namespace {

constexpr u32 kHelperPatienceMs = 30000;

bool WaitForFile(const core::String& path, u32 milliseconds) {
  u32 start = platform::TickCount();
  while (platform::FileAttributesOf(path.CStr()) == platform::kInvalidAttributes) {
    if (platform::TickCount() - start > milliseconds) return false;
    platform::SleepMilliseconds(10);
  }
  return true;
}

// Helper process: holds --kova-hold open for reading and writing, sharing
// nothing, writes "<file>.ready", and lets go once "<file>.stop" appears.
TEST(FileHelperProcess, DISABLED_HoldOpenWithoutSharing) {
  test::AdoptParentSandbox();
  const char* path = test::HelperArgument("hold");
  if (!path) GTEST_SKIP() << "started without --kova-hold";
  platform::ScopedFile held(platform::OpenFileHandle(path, platform::kAccessRead | platform::kAccessWrite, 0,
                                                     platform::kOpenAlways, platform::kAttributeNormal));
  ASSERT_TRUE(held) << "error " << platform::LastSystemError();
  core::String ready(path), stop(path);
  ready += ".ready";
  stop += ".stop";
  ASSERT_TRUE(WriteWholeFile(ready.CStr(), "", 0));
  EXPECT_TRUE(WaitForFile(stop, kHelperPatienceMs));
}

// Helper process: ends at once with the exit code --kova-exit, skipping
// everything that runs at a normal exit.
TEST(FileHelperProcess, DISABLED_ExitWithCode) {
  const char* code = test::HelperArgument("exit");
  if (!code) GTEST_SKIP() << "started without --kova-exit";
  std::_Exit(std::atoi(code));
}

using FileSharingTest = test::FileSystemTest;

TEST_F(FileSharingTest, AnotherProcessHoldingTheFileWithoutSharing) {
  core::String path = Path("held.bin");
  core::String ready = path + ".ready", stop = path + ".stop";
  core::String command = test::HelperCommandLine("HoldOpenWithoutSharing", {{"hold", path.CStr()}});
  platform::ScopedProcess helper(
      platform::StartProcess(command.CStr(), nullptr, platform::kShowDefault, platform::kPriorityNormal));
  ASSERT_TRUE(helper) << command.CStr() << ": error " << platform::LastSystemError();
  bool holding = WaitForFile(ready, kHelperPatienceMs);
  EXPECT_TRUE(holding) << "the helper never held the file";

  if (holding) {
    File file;
    // Waits five times 100 ms (six attempts), then gives up with 5.
    u32 start = platform::TickCount();
    EXPECT_EQ(file.Open(path.CStr(), kModeRead), kOpenLocked);
    u32 waited = platform::TickCount() - start;
    EXPECT_GE(waited, 400u);
    EXPECT_STREQ(file.LastError().CStr(), "The file is locked by another application.");
    // Not waiting: 5 at once.
    EXPECT_EQ(file.Open(path.CStr(), kModeRead | kOpenNoWait), kOpenLocked);
    EXPECT_STREQ(file.LastError().CStr(), "The file is locked by another application.");

    // The in-use test says so; the existence test still sees the file; an
    // append cannot open it; it cannot be deleted.
    EXPECT_FALSE(CanOpenForWriting(path.CStr()));
    EXPECT_TRUE(FileExists(path.CStr()));
    EXPECT_EQ(file.Open(path.CStr(), kModeExists), kOpenOk);
    EXPECT_FALSE(AppendTextToFile(path.CStr(), "x", kAppendNoRetry));
    EXPECT_FALSE(DeleteFile(path.CStr()));
  }

  WriteWholeFile(stop.CStr(), "", 0);
  ASSERT_TRUE(platform::WaitForProcess(helper.Get(), kHelperPatienceMs));
  File file;
  EXPECT_EQ(file.Open(path.CStr(), kModeUpdate | kOpenNoWait), kOpenOk);  // let go with the process
}

}  // namespace
}  // namespace kova::install
