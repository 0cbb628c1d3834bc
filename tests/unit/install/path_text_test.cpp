// Path texts: stripping names and extensions, the path check and comparing.
#include <gtest/gtest.h>

#include "install/path_text.h"

namespace kova::install {
namespace {

TEST(PathText, Strip) {
  struct Case {
    const char *path, *withoutName, *withoutDirectory, *withoutExtension;
    bool hasSeparator, hasExtension;
  } cases[] = {
      {"C:\\a\\b.txt", "C:\\a\\", "b.txt", "C:\\a\\b", true, true},
      {"C:\\b.txt", "C:\\", "b.txt", "C:\\b", true, true},
      {"C:b.txt", "C:", "b.txt", "C:b", true, true},
      {"b.txt", "b.txt", "b.txt", "b", false, true},
      {"C:\\a.d\\b", "C:\\a.d\\", "b", "C:\\a.d\\b", true, false},
      {"C:\\a\\b.tar.gz", "C:\\a\\", "b.tar.gz", "C:\\a\\b.tar", true, true},
      {"", "", "", "", false, false},
  };
  for (const Case& c : cases) {
    core::String path(c.path);
    EXPECT_EQ(StripFileName(path), c.hasSeparator) << c.path;
    EXPECT_STREQ(path.CStr(), c.withoutName) << c.path;
    path = c.path;
    StripDirectory(path);
    EXPECT_STREQ(path.CStr(), c.withoutDirectory) << c.path;
    path = c.path;
    EXPECT_EQ(StripExtension(path), c.hasExtension) << c.path;
    EXPECT_STREQ(path.CStr(), c.withoutExtension) << c.path;
  }
}

TEST(PathText, IsValidPath) {
  struct Case {
    u32 flags;
    const char* path;
    bool valid;
  } cases[] = {
      {0, "C:\\Program Files\\App", true},
      {0, "\"C:\\Program Files\\App\"", true},
      {0, "relative\\dir", true},
      {0, "C:\\App?", false},
      {0, "C:\\a:b", false},
      {0, "C:/App", false},
      {0, "C:\\a;b", false},
      {0, "C:\\a|b", false},
      {0, "C:\\a<b>", false},
      {0, "C:\\a\"b", false},
      {0, "1:\\a", false},
      {0, "", false},
      {0, "C:\\*.txt", false},
      {kValidAllowStar, "C:\\*.txt", true},
      {kValidAllowStar, "C:\\?.txt", false},
      {kValidAllowWildcards, "C:\\?.*", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidPath(c.flags, c.path), c.valid) << c.flags << " " << c.path;
  EXPECT_FALSE(IsValidPath(0, nullptr));
}

TEST(PathText, PathsEqual) {
  EXPECT_TRUE(PathsEqual("C:\\Program Files\\", "c:\\program files"));
  EXPECT_TRUE(PathsEqual("C:\\", "c:"));
  EXPECT_FALSE(PathsEqual("C:\\a\\\\", "C:\\a"));  // only one backslash goes
  EXPECT_FALSE(PathsEqual("C:\\a", "C:\\b"));
  EXPECT_TRUE(PathsEqual("", nullptr));
}

}  // namespace
}  // namespace kova::install
