// Reading file records: every field checked against the end of the stream
// and against its limits, with the code the installer reports for each.
#include "format/file_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/file_stream_writer.h"
#include "payload/fatal.h"

namespace kova::format {
namespace {

using test::TestRecord;

TEST(FileRecordTest, ReadsEveryFieldAndTheIconTextOnlyWithAShortcut) {
  std::vector<TestRecord> records = {
      {"bin\\app.exe", 0, 0x3, "program", test::Stamp(2001, 2, 3, 4, 5, 6), "App", "app.ico", "/run"},
      {"readme.txt", 0, 0x20, "", {}, "", "never written", "args"},
      {"kova.ttf", 4, 0, "font", test::Stamp(1999, 12, 31), "Kova Sans", "", ""},
  };
  std::vector<u8> stream = test::RecordsStream(records);
  format::FileRecordReader reader(stream.data(), stream.size());
  format::FileRecord record;
  ASSERT_EQ(reader.Next(7, record), 0);
  EXPECT_STREQ(record.name.CStr(), "bin\\app.exe");
  EXPECT_EQ(record.flags, 0x3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data), record.size), "program");
  EXPECT_EQ(record.stamp.year, 2001);
  EXPECT_EQ(record.stamp.second, 6);
  EXPECT_STREQ(record.text1.CStr(), "App");
  EXPECT_STREQ(record.text2.CStr(), "app.ico");
  EXPECT_STREQ(record.text3.CStr(), "/run");
  ASSERT_EQ(reader.Next(0, record), 0);
  EXPECT_EQ(record.size, 0);
  EXPECT_STREQ(record.text2.CStr(), "");
  EXPECT_STREQ(record.text3.CStr(), "args");
  ASSERT_EQ(reader.Next(4, record), 0);
  EXPECT_EQ(record.type, 4u);
  EXPECT_STREQ(record.text1.CStr(), "Kova Sans");
  EXPECT_EQ(reader.Position(), stream.size());
}

// Each case cuts or damages one record and names the code it must give.
TEST(FileRecordTest, DamageGivesTheCodeOfTheField) {
  const TestRecord good{"a.txt", 0, 0, "data", test::Stamp(2000, 1, 1), "t1", "", "t3"};
  const size_t nameEnd = 6, typeEnd = 10, flagsEnd = 14, dataEnd = 18, checksumEnd = 22, stampEnd = 46;
  std::vector<u8> whole = test::RecordsStream({good});
  struct Case {
    const char* what;
    std::vector<u8> stream;
    i32 size;
    i32 code;
  };
  auto cut = [&](size_t n) { return std::vector<u8>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)); };
  auto with = [&](TestRecord record) { return test::RecordsStream({record}); };
  TestRecord badType = good;
  badType.type = 2;
  TestRecord emptyName = good;
  emptyName.name = "";
  std::vector<u8> badChecksum = whole;
  badChecksum[dataEnd] ^= 1;
  std::vector<u8> badData = whole;
  badData[flagsEnd] ^= 0x80;
  Case cases[] = {
      {"empty stream", {}, 4, format::kCorruptRecordName},
      {"name without its NUL", cut(nameEnd - 1), 4, format::kCorruptRecordName},
      {"empty name", with(emptyName), 4, format::kCorruptRecordName},
      {"type cut", cut(nameEnd + 2), 4, format::kCorruptRecordType},
      {"flags cut", cut(typeEnd + 3), 4, format::kCorruptRecordType},
      {"negative size", whole, -1, format::kCorruptRecordSizeNegative},
      {"size above 0x40000000", whole, 0x40000001, format::kCorruptRecordSizeTooLarge},
      {"data past the end", cut(flagsEnd + 3), 4, format::kCorruptRecordSizeTooLarge},
      {"size larger than the stream", whole, 0x40000000, format::kCorruptRecordSizeTooLarge},
      {"checksum cut", cut(dataEnd + 3), 4, format::kCorruptRecordChecksum},
      {"checksum differs", badChecksum, 4, format::kCorruptRecordChecksum},
      {"data damaged", badData, 4, format::kCorruptRecordChecksum},
      {"wrong size moves the checksum", whole, 3, format::kCorruptRecordChecksum},
      {"stamp cut", cut(checksumEnd + 23), 4, format::kCorruptRecordChecksum},
      {"text 1 cut", cut(stampEnd + 1), 4, format::kCorruptRecordChecksum},
      {"text 3 cut", cut(whole.size() - 1), 4, format::kCorruptRecordChecksum},
      {"unknown type", with(badType), 4, format::kCorruptRecordType},
  };
  for (const Case& c : cases) {
    format::FileRecordReader reader(c.stream.data(), c.stream.size());
    format::FileRecord record;
    EXPECT_EQ(reader.Next(c.size, record), c.code) << c.what;
  }
  format::FileRecordReader reader(whole.data(), whole.size());
  format::FileRecord record;
  EXPECT_EQ(reader.Next(4, record), 0);
}

TEST(FileRecordTest, NamesThatWouldLeaveTheTargetFolderAreRefused) {
  const char* safe[] = {"a.txt", "bin\\app.exe", "bin/app.exe", "a b\\c.d", ".profile", "x..y", "..a", "a\\b\\c\\d"};
  const char* unsafe[] = {"",          "..",        "..\\x.dll",   "a\\..\\..\\x", "a/../../x", "\\windows\\x",
                          "/etc/x",    "\\\\server\\share\\x", "C:\\x", "C:x",      "a:stream",  ". \\x",
                          "a\\...\\b", "a\\\\b",    "a\\",         "a\\.\\b",      "a\x01.txt", "a|b",
                          "a*.dll",    "a?.dll",    "\"a\"",       "a<b>",         "..."};
  for (const char* name : safe) EXPECT_TRUE(format::IsSafeRecordName(name)) << name;
  for (const char* name : unsafe) {
    EXPECT_FALSE(format::IsSafeRecordName(name)) << name;
    TestRecord record{name, 0, 0, "x", {}, "", "", ""};
    std::vector<u8> stream = test::RecordsStream({record});
    format::FileRecordReader reader(stream.data(), stream.size());
    format::FileRecord read;
    EXPECT_EQ(reader.Next(1, read), format::kCorruptRecordName) << name;
  }
}

}  // namespace
}  // namespace kova::format
