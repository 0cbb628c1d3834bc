// The File class: open results and their texts, mode bits, block reads and
// writes with their error texts, positions, the memory image, ranges and
// tails (never past the file), stamps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/paths.h"
#include "install/file.h"
#include "install/path_text.h"
#include "install/temp_files.h"
#include "platform/file_system.h"
#include "support/file_system_fixture.h"

namespace kova::install {
namespace {

using FileTest = test::FileSystemTest;

TEST_F(FileTest, OpenResultsAndTheirTexts) {
  Put("there.txt", "x");
  struct Case {
    const char* name;  // relative to the test folder; null: the empty path
    u32 mode;
    i32 result;
    const char* text;
  } cases[] = {
      {nullptr, kModeRead, 2, "The filename is invalid."},
      {"a<b.txt", kModeCreate, 2, "The filename is invalid."},
      {"missing.txt", kModeRead, 3, "The file was not found."},
      {"no-such-folder\\x.txt", kModeRead, 4, "The directory does not exist."},
      {"no-such-folder\\x.txt", kModeCreate, 4, "The directory does not exist."},
      {"there.txt", kOpenCreateNew, 9, "The file already exists."},
      {"there.txt", kOpenNameMask, 8, "An invalid parameter was used."},
      {".", kModeRead, 1, "An unknown error occurred."},  // a folder is no file
  };
  for (const Case& c : cases) {
    File file;
    core::String path = c.name ? Path(c.name) : core::String();
    EXPECT_EQ(file.Open(c.name ? path.CStr() : "", c.mode), c.result) << (c.name ? c.name : "(empty)");
    EXPECT_STREQ(file.LastError().CStr(), c.text) << (c.name ? c.name : "(empty)");
    EXPECT_FALSE(file.IsOpen());
  }
  EXPECT_STREQ(OpenResultText(0), "The file was successfully opened.");
  EXPECT_STREQ(OpenResultText(5), "The file is locked by another application.");
  EXPECT_STREQ(OpenResultText(6), "Failed to read the file into memory.");
  EXPECT_STREQ(OpenResultText(7), "Too many files are already open.");
  EXPECT_STREQ(OpenResultText(42), "An unknown error occurred.");
  EXPECT_STREQ(RequiredFileText("C:\\x.dat", 3).CStr(),
               "Failed to open required file:\r\nC:\\x.dat\r\n\r\nThe file was not found.");
}

#ifndef _WIN32
// A required file that cannot be opened ends the program with the fatal box
// (on POSIX the box is printed). Natively only: under Wine the box would wait
// for someone to press OK.
TEST_F(FileTest, RequiredFileThatCannotBeOpenedIsFatal) {
  core::String missing = Path("missing.dat");
  EXPECT_EXIT(
      {
        File file;
        file.Open(missing.CStr(), kModeRead | kOpenRequired);
      },
      testing::ExitedWithCode(1), "Failed to open required file:\r?\n.*missing\\.dat\r?\n\r?\nThe file was not found\\.");
}
#endif

TEST_F(FileTest, WriteThenReadBack) {
  File file;
  ASSERT_EQ(file.Open(Path("data.bin").CStr(), kModeCreate), kOpenOk);
  EXPECT_TRUE(file.CanRead());
  EXPECT_TRUE(file.CanWrite());
  EXPECT_TRUE(file.Write("hello world", 11));
  EXPECT_EQ(file.Size(), 11);
  EXPECT_EQ(file.Tell(), 11);
  ASSERT_TRUE(file.Seek(6));
  char word[6] = {};
  EXPECT_TRUE(file.Read(word, 5));
  EXPECT_STREQ(word, "world");
  ASSERT_TRUE(file.SeekFromEnd(-5));
  EXPECT_EQ(file.Tell(), 6);
  ASSERT_TRUE(file.Seek(5));
  EXPECT_TRUE(file.Truncate());
  EXPECT_EQ(file.Size(), 5);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(Get("data.bin"), "hello");
  EXPECT_EQ(file.Size(), -1);  // no file
  EXPECT_EQ(file.Tell(), -1);
}

TEST_F(FileTest, BlockErrorsHaveTheirTexts) {
  Put("five.txt", "12345");
  File file;
  ASSERT_EQ(file.Open(Path("five.txt").CStr(), kModeRead), kOpenOk);
  char buffer[16];
  EXPECT_TRUE(file.Write(buffer, 0));  // 0 bytes: nothing asked of the system
  EXPECT_FALSE(file.Write(buffer, -1));
  EXPECT_STREQ(file.LastError().CStr(), "Illegal block size");
  EXPECT_FALSE(file.Write("x", 1));
  EXPECT_STREQ(file.LastError().CStr(), "Write access denied");
  EXPECT_FALSE(file.Truncate());
  EXPECT_STREQ(file.LastError().CStr(), "Write access denied");
  EXPECT_TRUE(file.ReadBlock(buffer, 0));
  EXPECT_FALSE(file.ReadBlock(buffer, -4));
  EXPECT_STREQ(file.LastError().CStr(), "Illegal block size -4");
  EXPECT_FALSE(file.ReadBlock(nullptr, 4));
  EXPECT_STREQ(file.LastError().CStr(), "NULL block pointer");
  EXPECT_FALSE(file.Read(buffer, 6));
  EXPECT_STREQ(file.LastError().CStr(), "Read past end of file");
  file.Close();
  EXPECT_FALSE(file.Read(buffer, 1));
  EXPECT_STREQ(file.LastError().CStr(), "Read access denied");

  ASSERT_EQ(file.Open(Path("five.txt").CStr(), kOpenExisting | kOpenNoRead), kOpenOk);
  EXPECT_FALSE(file.Read(buffer, 1));
  EXPECT_STREQ(file.LastError().CStr(), "Read access denied");
  EXPECT_TRUE(file.Write("ab", 2));
  file.Close();
  EXPECT_EQ(Get("five.txt"), "ab345");
}

TEST_F(FileTest, ModeBits) {
  Put("log.txt", "first");
  File file;
  // Append: the position is at the end after opening.
  ASSERT_EQ(file.Open(Path("log.txt").CStr(), kModeAppend), kOpenOk);
  EXPECT_EQ(file.Tell(), 5);
  EXPECT_TRUE(file.Write("+", 1));
  // Opening again closes the file first.
  ASSERT_EQ(file.Open(Path("other.txt").CStr(), kOpenOrCreate), kOpenOk);
  EXPECT_EQ(Get("log.txt"), "first+");
  EXPECT_TRUE(Exists("other.txt"));
  // A pure test closes at once but reports success.
  EXPECT_EQ(file.Open(Path("log.txt").CStr(), kModeExists), kOpenOk);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Open(Path("missing.txt").CStr(), kModeExists), kOpenFileNotFound);
  // Create-always truncates.
  ASSERT_EQ(file.Open(Path("log.txt").CStr(), kModeCreate), kOpenOk);
  EXPECT_EQ(file.Size(), 0);
  file.Close();
  // Open-existing never creates.
  EXPECT_EQ(file.Open(Path("new.txt").CStr(), kModeUpdate), kOpenFileNotFound);
  EXPECT_FALSE(Exists("new.txt"));
}

TEST_F(FileTest, RetryOnceWaitsAfterAnyFailure) {
  File file;
  u32 start = platform::TickCount();
  EXPECT_EQ(file.Open(Path("missing.txt").CStr(), kModeRead | kOpenRetryOnce), kOpenFileNotFound);
  EXPECT_GE(platform::TickCount() - start, 80u);
}

TEST_F(FileTest, TemporaryNames) {
  File file;
  ASSERT_EQ(file.Open(nullptr, kOpenNewTempInTempDir | kOpenShareRead), kOpenOk);
  EXPECT_TRUE(file.Name().StartsWithNoCase(TempDirectory().CStr())) << file.Name().CStr();
  EXPECT_TRUE(core::FileNameOf(file.Name().CStr()).StartsWithNoCase("KVT")) << file.Name().CStr();
  EXPECT_TRUE(file.Write("t", 1));
  core::String first = file.Name();
  file.Close();
  platform::RemoveFile(first.CStr());

  ASSERT_EQ(file.Open(dir_.CStr(), kOpenNewTempInFolder), kOpenOk);
  EXPECT_TRUE(PathsEqual(core::DirectoryOf(file.Name().CStr()).CStr(), dir_.CStr())) << file.Name().CStr();
  file.Close();
  ASSERT_EQ(file.Open(Path("anything.txt").CStr(), kOpenNewTempBeside), kOpenOk);
  EXPECT_TRUE(PathsEqual(core::DirectoryOf(file.Name().CStr()).CStr(), dir_.CStr())) << file.Name().CStr();
  EXPECT_FALSE(Exists("anything.txt"));
  file.Close();

  core::String name = core::Formatted("kova-joined-%u.txt", platform::TickCount());
  ASSERT_EQ(file.Open(name.CStr(), kOpenInTempDir | kOpenCreateAlways), kOpenOk);
  EXPECT_STREQ(file.Name().CStr(), core::JoinPath(TempDirectory().CStr(), name.CStr()).CStr());
  file.Close();
  EXPECT_TRUE(platform::RemoveFile(core::JoinPath(TempDirectory().CStr(), name.CStr()).CStr()));

  EXPECT_EQ(file.Open(Path("no-such-folder").CStr(), kOpenNewTempInFolder), kOpenInvalidName);
}

TEST_F(FileTest, MemoryImageIsWrittenBackOnClose) {
  Put("image.bin", "0123456789");
  File file;
  ASSERT_EQ(file.Open(Path("image.bin").CStr(), kModeUpdate | kOpenInMemory), kOpenOk);
  EXPECT_TRUE(file.InMemory());
  EXPECT_EQ(file.Size(), 10);
  char buffer[4] = {};
  EXPECT_TRUE(file.ReadAt(7, buffer, 3));
  EXPECT_STREQ(buffer, "789");
  EXPECT_EQ(file.Tell(), 0);
  EXPECT_TRUE(file.Write("ab", 2));
  EXPECT_EQ(Get("image.bin"), "<missing>");  // held without sharing, as on disk
  ASSERT_TRUE(file.Seek(4));
  EXPECT_TRUE(file.Truncate());
  EXPECT_FALSE(file.Read(buffer, 1));
  EXPECT_STREQ(file.LastError().CStr(), "Read past end of file");
  ASSERT_TRUE(file.Seek(6));
  EXPECT_TRUE(file.Write("Z", 1));  // beyond the end: the gap is zeros
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(Get("image.bin"), std::string("ab23\0\0Z", 7));

  // Without changes nothing is written; a read-only image refuses writes.
  ASSERT_EQ(file.Open(Path("image.bin").CStr(), kModeRead | kOpenInMemory), kOpenOk);
  EXPECT_FALSE(file.Write("q", 1));
  EXPECT_STREQ(file.LastError().CStr(), "Write access denied");
  EXPECT_TRUE(file.Close());

  // An empty file loads as an empty image.
  Put("empty.bin", "");
  ASSERT_EQ(file.Open(Path("empty.bin").CStr(), kModeRead | kOpenInMemory), kOpenOk);
  EXPECT_EQ(file.Size(), 0);
  // Loading needs read access.
  EXPECT_EQ(file.Open(Path("image.bin").CStr(), kModeUpdate | kOpenNoRead | kOpenInMemory), kOpenLoadFailed);
  EXPECT_STREQ(file.LastError().CStr(), "Failed to read the file into memory.");
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileTest, RangesAndTailsStayInsideTheFile) {
  Put("range.bin", "abcdefghij");
  File file;
  ASSERT_EQ(file.Open(Path("range.bin").CStr(), kModeRead), kOpenOk);
  struct Case {
    i32 position, size;
    bool ok;
  } cases[] = {
      {0, 10, true},  {3, 4, true},   {10, 0, true},  {-1, 2, false},      {2, -1, false},
      {5, 6, false},  {11, 0, false}, {0x7FFFFFF0, 0x100, false},  // would wrap in 32 bits
      {1, 0x7FFFFFFF, false},
  };
  for (const Case& c : cases) {
    core::ByteBuffer out;
    EXPECT_EQ(file.ReadRange(out, c.position, c.size), c.ok) << c.position << "+" << c.size;
    if (c.ok) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Data()), out.Size()),
                std::string("abcdefghij").substr(static_cast<std::size_t>(c.position), static_cast<std::size_t>(c.size)));
    } else {
      EXPECT_EQ(out.Capacity(), 0u) << "allocated for a range outside the file";
    }
  }
  char tail[4] = {};
  EXPECT_TRUE(file.ReadTail(tail, 3));
  EXPECT_STREQ(tail, "hij");
  EXPECT_EQ(file.Tell(), 0);
  EXPECT_FALSE(file.ReadTail(tail, 0));
  EXPECT_FALSE(file.ReadTail(tail, 11));
  file.Close();
  EXPECT_FALSE(file.ReadTail(tail, 1));
  core::ByteBuffer out;
  EXPECT_FALSE(file.ReadRange(out, 0, 1));
}

// A mapped range holds the file's bytes where it starts, at any offset (the
// view begins on a page boundary), and never reaches past the end of the
// file. Win32 maps nothing (the stub lends its archive from its own image),
// so every range is read there instead.
TEST_F(FileTest, MappedRangesHoldTheFileAndStayInsideIt) {
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  {
    File out;
    ASSERT_EQ(out.Open(Path("mapped.bin").CStr(), kModeCreate), kOpenOk);
    ASSERT_TRUE(out.Write(bytes.data(), static_cast<i32>(bytes.size())));
  }
  File file;
  ASSERT_EQ(file.Open(Path("mapped.bin").CStr(), kModeRead), kOpenOk);
  struct Case {
    i32 position, size;
    bool ok;
  } cases[] = {
      {0, 200000, true}, {70001, 129999, true}, {4095, 2, true}, {199999, 1, true},
      {199999, 2, false}, {200000, 1, false}, {0, 0, false}, {-1, 1, false},
  };
  for (const Case& c : cases) {
    const u8* view = file.MapRange(c.position, c.size);
#ifdef _WIN32
    EXPECT_EQ(view, nullptr);
    continue;
#endif
    ASSERT_EQ(view != nullptr, c.ok) << c.position << "+" << c.size;
    if (view) {
      EXPECT_EQ(std::memcmp(view, bytes.data() + c.position, static_cast<std::size_t>(c.size)), 0)
          << c.position << "+" << c.size;
    }
  }
  EXPECT_EQ(file.Tell(), 0) << "mapping does not move the file position";

  File inMemory;  // the image is the file's bytes already
  ASSERT_EQ(inMemory.Open(Path("mapped.bin").CStr(), kModeRead | kOpenInMemory), kOpenOk);
  EXPECT_EQ(inMemory.MapRange(0, 10), nullptr);
  file.Close();
  EXPECT_EQ(file.MapRange(0, 10), nullptr);
}

// A file of 2 GiB or more has no 32-bit size: every size-based read refuses
// it instead of reading at a wrapped offset. (The file is sparse.)
TEST_F(FileTest, FilesBeyondTwoGigabytesHaveNoSize) {
  {
    platform::ScopedFile big(platform::OpenFileHandle(Path("big.bin").CStr(), platform::kAccessWrite, 0,
                                                      platform::kCreateAlways, platform::kAttributeNormal));
    ASSERT_TRUE(big);
    ASSERT_TRUE(platform::MoveFilePointer(big.Get(), 0x100000010LL, platform::kSeekBegin, nullptr));
    ASSERT_TRUE(platform::SetFileEnd(big.Get()));
  }
  File file;
  ASSERT_EQ(file.Open(Path("big.bin").CStr(), kModeRead), kOpenOk);
  EXPECT_EQ(file.Size(), -1);
  EXPECT_STREQ(file.LastError().CStr(), "File too large");
  char tail[16];
  EXPECT_FALSE(file.ReadTail(tail, 16));
  core::ByteBuffer out;
  EXPECT_FALSE(file.ReadRange(out, 0, 16));
  EXPECT_EQ(out.Capacity(), 0u);
  EXPECT_EQ(file.Open(Path("big.bin").CStr(), kModeRead | kOpenInMemory), kOpenLoadFailed);
}

TEST_F(FileTest, LastWriteStamps) {
  File file;
  ASSERT_EQ(file.Open(Path("stamped.txt").CStr(), kModeCreate), kOpenOk);
  EXPECT_TRUE(file.Write("x", 1));
  format::FileStamp stamp{2001, 8, 24, 13, 45, 59};
  ASSERT_TRUE(file.SetLastWriteStamp(stamp)) << file.LastError().CStr();
  format::FileStamp read = file.GetLastWriteStamp();
  EXPECT_EQ(read.year, 2001);
  EXPECT_EQ(read.month, 8);
  EXPECT_EQ(read.day, 24);
  EXPECT_EQ(read.hour, 13);
  EXPECT_EQ(read.minute, 45);
  EXPECT_EQ(read.second, 59);
  EXPECT_FALSE(file.SetLastWriteStamp(format::FileStamp{2001, 13, 1, 0, 0, 0}));
  EXPECT_FALSE(file.SetLastWriteStamp(format::FileStamp{2001, 2, 30, 0, 0, 0}));
  EXPECT_FALSE(file.SetLastWriteStamp(format::FileStamp{1500, 1, 1, 0, 0, 0}));
  EXPECT_FALSE(file.SetLastWriteStamp(format::FileStamp{}));
  file.Close();
  EXPECT_FALSE(file.SetLastWriteStamp(stamp));
  EXPECT_EQ(file.GetLastWriteStamp().month, 0);

  // A changed memory image is written before the stamp, so closing keeps it.
  ASSERT_EQ(file.Open(Path("stamped.txt").CStr(), kModeUpdate | kOpenInMemory), kOpenOk);
  EXPECT_TRUE(file.Write("yz", 2));
  ASSERT_TRUE(file.SetLastWriteStamp(format::FileStamp{1999, 12, 31, 23, 59, 58}));
  file.Close();
  ASSERT_EQ(file.Open(Path("stamped.txt").CStr(), kModeRead), kOpenOk);
  EXPECT_EQ(file.GetLastWriteStamp().year, 1999);
  EXPECT_EQ(file.GetLastWriteStamp().second, 58);
  EXPECT_EQ(file.Size(), 2);
}

TEST_F(FileTest, FlushAfterWrite) {
  File file;
  ASSERT_EQ(file.Open(Path("flushed.txt").CStr(), kModeCreate), kOpenOk);
  file.SetFlushAfterWrite(true);
  EXPECT_TRUE(file.Write("abc", 3));
  EXPECT_TRUE(file.Flush());
  file.Close();
  EXPECT_EQ(Get("flushed.txt"), "abc");
}

}  // namespace
}  // namespace kova::install
