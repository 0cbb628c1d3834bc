// Stamps and versions: the comparisons the replacement rules rest on.
#include "install/file_versions.h"

#include <gtest/gtest.h>

#include <vector>

#include "install/file.h"
#include "install/file_stream_writer.h"
#include "platform/file_system.h"
#include "support/file_system_fixture.h"
#include "support/pe_version_image.h"

namespace kova::install {
namespace {

int Sign(i32 value) { return value > 0 ? 1 : value < 0 ? -1 : 0; }

TEST(FileVersionsTest, CompareVersionsTable) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"1.2.3", "1.2.3", 0},
      {"1.2.4", "1.2.3", 1},
      {"1.10", "1.9", 1},                      // numbers, not texts
      {"1.2", "1.2.0", -1},                    // a runs out first
      {"1.2.0", "1.2", 1},                     // b runs out first
      {"0000000001.0000000002", "1.2", 0},     // padding does not count
      {"1.2b", "1.2a", 1},                     // equal numbers: the letters decide
      {"1.2", "1.2a", -1},                     // no letter counts as 0
      {"1.2a", "1.2A", 0},                     // letters compared upper-cased
      {"1a2b", "1b2a", 1},                     // the last letter counts
      {".5", "0.5", 0},                        // a leading dot adds a 0
      {"..5", "0.5", 0},                       // ... only while the list is empty
      {"1-2", "1.2", 0},                       // other characters only end numbers
      {"v2", "1", 1},
      {"", "", 0},
      {"", "1", -1},
      {"99999999999", "1", 1},                 // too many digits: the largest number, no overflow
      {"1", "99999999999", -1},
      {"2.0 (build 5)", "2.0 (build 4)", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Sign(CompareVersions(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
  EXPECT_EQ(CompareVersions("1.7", "1.2"), 5);  // the difference itself
}

TEST(FileVersionsTest, VersionTextsArePaddedAndUpperCased) {
  EXPECT_STREQ(NormalizeVersionText("1.2.3b").CStr(), "0000000001.0000000002.000000003B");
  EXPECT_STREQ(NormalizeVersionText("12345678901.x").CStr(), "12345678901.000000000X");
  EXPECT_STREQ(NormalizeVersionText("1..2").CStr(), "0000000001.0000000000.0000000002");
}

TEST(FileVersionsTest, StampsCompareFieldByField) {
  EXPECT_EQ(CompareStamps(test::Stamp(2000, 1, 1), test::Stamp(2000, 1, 1)), 0);
  EXPECT_LT(CompareStamps(test::Stamp(1999, 12, 31, 23, 59, 59), test::Stamp(2000, 1, 1, 0, 0, 0)), 0);
  EXPECT_GT(CompareStamps(test::Stamp(2000, 1, 1, 0, 0, 1), test::Stamp(2000, 1, 1, 0, 0, 0)), 0);
  EXPECT_GT(CompareStamps(test::Stamp(2000, 1, 1), format::FileStamp()), 0);
}

using FileVersionsFileTest = test::FileSystemTest;

TEST_F(FileVersionsFileTest, IsOlderThanAndFileVersion) {
  Put("a.dll", "x");
  core::String path = Path("a.dll");
  {
    File file;
    ASSERT_EQ(file.Open(path.CStr(), kModeUpdate), kOpenOk);
    ASSERT_TRUE(file.SetLastWriteStamp(test::Stamp(2005, 6, 7, 8, 9, 10)));
  }
  EXPECT_TRUE(IsOlderThan(path.CStr(), format::FileStamp()));                       // no stamp: always
  EXPECT_TRUE(IsOlderThan(path.CStr(), test::Stamp(2005, 6, 7, 8, 9, 11)));
  EXPECT_FALSE(IsOlderThan(path.CStr(), test::Stamp(2005, 6, 7, 8, 9, 10)));  // the same
  EXPECT_FALSE(IsOlderThan(path.CStr(), test::Stamp(2005, 6, 7, 8, 9, 9)));
  EXPECT_TRUE(IsOlderThan(Path("missing.dll").CStr(), test::Stamp(1980, 1, 1)));

  EXPECT_STREQ(FileVersion(path.CStr()).CStr(), "");
  std::vector<uint8_t> pe = test::PeWithVersionBlock(test::VersionBlock("4.0.1a"));
  platform::ScopedFile out(platform::OpenFileHandle(Path("v.dll").CStr(), platform::kAccessWrite, 0,
                                                    platform::kCreateAlways, platform::kAttributeNormal));
  u32 done = 0;
  ASSERT_TRUE(platform::WriteFileData(out.Get(), pe.data(), static_cast<u32>(pe.size()), &done));
  out.Reset();
  EXPECT_STREQ(FileVersion(Path("v.dll").CStr()).CStr(), "0000000004.0000000000.000000001A");
}

}  // namespace
}  // namespace kova::install
