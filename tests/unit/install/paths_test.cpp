// Path operations on Windows-form paths.
#include <gtest/gtest.h>

#include "install/paths.h"

namespace kova::install {
namespace {

TEST(Paths, JoinPath) {
  struct Case {
    const char *dir, *name, *joined;
  } cases[] = {
      {"C:", "x", "C:x"},        {"C:\\a\\", "\\b", "C:\\a\\b"}, {"C:\\a", "b", "C:\\a\\b"},
      {"C:\\a\\", "b", "C:\\a\\b"}, {"C:\\a", "\\b", "C:\\a\\b"},  {"", "b", "b"},
      {nullptr, "b", "b"},       {"C:\\a", "", "C:\\a"},         {"C:\\a", nullptr, "C:\\a"},
  };
  for (const Case& c : cases) EXPECT_STREQ(JoinPath(c.dir, c.name).CStr(), c.joined) << c.dir << " + " << c.name;
}

TEST(Paths, DirectoryAndFileName) {
  struct Case {
    const char *path, *dir, *name;
  } cases[] = {
      {"C:\\a\\b.txt", "C:\\a", "b.txt"},
      {"C:\\b.txt", "C:\\", "b.txt"},
      {"C:b.txt", "C:", "b.txt"},
      {"C:", "C:", ""},
      {"C:\\", "C:\\", ""},
      {"b.txt", "", "b.txt"},
      {"\\\\server\\share\\f", "\\\\server\\share", "f"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(DirectoryOf(c.path).CStr(), c.dir) << c.path;
    EXPECT_STREQ(FileNameOf(c.path).CStr(), c.name) << c.path;
  }
}

TEST(Paths, DriveLetterOf) {
  EXPECT_EQ(DriveLetterOf("c:\\x"), 'C');
  EXPECT_EQ(DriveLetterOf("Z:"), 'Z');
  EXPECT_EQ(DriveLetterOf("\\\\server\\x"), '\0');
  EXPECT_EQ(DriveLetterOf("1:\\x"), '\0');
  EXPECT_EQ(DriveLetterOf(""), '\0');
  EXPECT_EQ(DriveLetterOf(nullptr), '\0');
}

}  // namespace
}  // namespace kova::install
