// The setting for tests of the file loop: a throw-away folder (see
// support/file_system_fixture.h) holding the installation, shared, system
// and font folders and the volume files; the SharedDLLs counts below this
// test's own registry key (HKEY_CURRENT_USER\Software\KovaTest\...); a
// message table whose texts name their numbers; a progress view that
// records what it is shown; automatic mode, so no minimum display time
// holds a test up. Process-wide lists start and end empty.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/array.h"
#include "install/file.h"
#include "install/file_stream_writer.h"
#include "install/install_files.h"
#include "install/install_texts.h"
#include "install/shared_files.h"
#include "install/shortcut_entries.h"
#include "payload/command_line.h"
#include "payload/message_box.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "support/file_system_fixture.h"
#include "system/registry.h"
#include "system/registry_fixture.h"
#include "system/uninstall_list.h"
#include "ui/progress.h"
#include "ui/progress_view.h"

#ifndef _WIN32
#include "platform/posix/registry_database.h"
#endif

namespace kova::test {

struct RecordingProgress final : ui::ProgressView {
  platform::WindowHandle Open(const char*, const char*, const char*, bool) override { return nullptr; }
  void Close() override {}
  void SetStatus(const char* text) override { calls.push_back(std::string("status ") + text); }
  void SetPosition(i32 percent) override { calls.push_back("position " + std::to_string(percent)); }
  std::vector<std::string> calls;
};

class InstallTest : public FileSystemTest {
 protected:
  void SetUp() override {
    FileSystemTest::SetUp();
    core::Array<core::String> languages;
    languages.Append("English");
    core::Array<core::Array<core::String>> table;
    for (int n = 0; n < 70; ++n) {
      core::Array<core::String> texts;
      texts.Append(core::Formatted("message %d", n));
      table.Append(texts);
    }
    table[26][0] = "Insert disk %d into drive %c:";
    table[38][0] = "Shortcut to %s";
    payload::SetMessageTable(static_cast<core::Array<core::String>&&>(languages),
                             static_cast<core::Array<core::Array<core::String>>&&>(table));
    payload::SetAutomaticMode(true);
    payload::SetProductFlags(0);
    ui::SetProgressView(&progress);
    ui::OpenProgress();
    ResetLists();

    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    registryKey_ = std::string("Software\\KovaTest\\install-") + info->test_suite_name() + "." + info->name();
    for (char& c : registryKey_)
      if (c == '/') c = '_';
    testing::DeleteRegistryTree(platform::kCurrentUser, registryKey_);
    install::SetSharedDllsKey(platform::kCurrentUser, SharedDllsKey().c_str());

    for (const char* folder : {"App", "Shared", "System", "Fonts", "Setup"})
      ASSERT_TRUE(platform::MakeDirectory(Path(folder).CStr()));
  }

  void TearDown() override {
    EXPECT_EQ(system::KeyStackDepth(), 0) << "unbalanced OpenKey/CloseKey";
    install::ResetSharedDllsKey();
    testing::DeleteRegistryTree(platform::kCurrentUser, registryKey_);
    ui::CloseProgress();
    ui::SetProgressView(nullptr);
    payload::SetMessageBoxFunction(nullptr);
    payload::SetMessageTable({}, {});
    payload::SetAutomaticMode(false);
    payload::SetProductFlags(0);
    ResetLists();
#ifndef _WIN32
    platform::posix::CloseRegistryDatabase();
#endif
    FileSystemTest::TearDown();
  }

  static void ResetLists() {
    install::ShortcutEntries().Clear();
    install::LogText().Clear();
    install::ErrorText().Clear();
    system::ClearUninstallList();
  }

  std::string SharedDllsKey() const { return registryKey_ + "\\SharedDLLs"; }

  // The count stored for path, or -1 when there is none.
  i32 SharedCount(const core::String& path) {
    if (!system::OpenKey(platform::kCurrentUser, SharedDllsKey().c_str(), 0)) return -2;
    i32 count = system::ValueExists(path.CStr()) ? system::GetNumberValue(path.CStr(), 0, 0) : -1;
    system::CloseKey();
    return count;
  }
  void SetSharedCount(const core::String& path, i32 count) {
    ASSERT_TRUE(system::OpenKey(platform::kCurrentUser, SharedDllsKey().c_str(), 0));
    EXPECT_TRUE(system::SetNumberValue(path.CStr(), count, 0));
    system::CloseKey();
  }

  // The input for records held whole by the installer's own bytes (a few
  // bytes of something else before them, as in a real installer).
  install::InstallFilesInput InputFor(const std::vector<TestRecord>& records, u32 options = 0) {
    std::vector<u8> stream = RecordsStream(records);
    std::vector<u8> file(16, 0xEE);
    file.insert(file.end(), stream.begin(), stream.end());
    source_ = std::make_unique<VectorSource>(file);
    sizes_ = SizesOf(records);
    install::InstallFilesInput input;
    input.stream.programFile = source_.get();
    input.stream.streamStart = 16;
    input.stream.bytesInProgramFile = static_cast<i64>(stream.size());
    input.stream.length = static_cast<i32>(stream.size());
    input.stream.checksum = ChecksumOf(stream);
    input.stream.maxDecompressedSize = 1 << 20;
    input.stream.volumeFolder = Path("Setup");
    input.stream.volumeBaseName = "DISK";
    input.fileSizes = &sizes_;
    input.installDir = Path("App");
    input.sharedDir = Path("Shared");
    input.systemDir = Path("System");
    input.fontDir = Path("Fonts");
    input.uninstallSubdir = "Uninstall";
    input.options = options;
    return input;
  }

  i32 Install(const install::InstallFilesInput& input) {
    output = install::InstallFilesOutput();
    return install::TryInstallFiles(input, output);
  }
  i32 Install(const std::vector<TestRecord>& records, u32 options = 0) { return Install(InputFor(records, options)); }

  // Sets a file's last-write stamp (the file must exist).
  void SetStamp(const char* name, const format::FileStamp& stamp) {
    install::File file;
    ASSERT_EQ(file.Open(Path(name).CStr(), install::kModeUpdate), install::kOpenOk) << name;
    ASSERT_TRUE(file.SetLastWriteStamp(stamp)) << name;
  }
  format::FileStamp StampOf(const char* name) {
    install::File file;
    if (file.Open(Path(name).CStr(), install::kModeRead) != install::kOpenOk) return format::FileStamp();
    return file.GetLastWriteStamp();
  }
  // Writes bytes to a file below the test folder.
  void PutBytes(const char* name, const std::vector<u8>& bytes) {
    platform::ScopedFile file(platform::OpenFileHandle(Path(name).CStr(), platform::kAccessWrite, 0,
                                                       platform::kCreateAlways, platform::kAttributeNormal));
    ASSERT_TRUE(file) << name;
    u32 done = 0;
    ASSERT_TRUE(platform::WriteFileData(file.Get(), bytes.data(), static_cast<u32>(bytes.size()), &done));
  }

  static std::string UninstallList() { return system::UninstallListText().CStr(); }
  static std::string Log() { return install::LogText().CStr(); }
  static std::string Errors() { return install::ErrorText().CStr(); }

  RecordingProgress progress;
  install::InstallFilesOutput output;
  std::unique_ptr<VectorSource> source_;
  core::Array<i32> sizes_;
  std::string registryKey_;
};

}  // namespace kova::test
