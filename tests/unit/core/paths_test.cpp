// Path operations on Windows-form paths.
#include <gtest/gtest.h>

#include "core/paths.h"

namespace kova::core {
namespace {

TEST(Paths, JoinPath) {
  struct Case {
    const char *dir, *name, *joined;
  } cases[] = {
      {"C:", "x", "C:x"},        {"C:\\a\\", "\\b", "C:\\a\\b"}, {"C:\\a", "b", "C:\\a\\b"},
      {"C:\\a\\", "b", "C:\\a\\b"}, {"C:\\a", "\\b", "C:\\a\\b"},  {"", "b", "b"},
      {nullptr, "b", "b"},       {"C:\\a", "", "C:\\a"},         {"C:\\a", nullptr, "C:\\a"},
  };
  for (const Case& c : cases) EXPECT_STREQ(core::JoinPath(c.dir, c.name).CStr(), c.joined) << c.dir << " + " << c.name;
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
    EXPECT_STREQ(core::DirectoryOf(c.path).CStr(), c.dir) << c.path;
    EXPECT_STREQ(core::FileNameOf(c.path).CStr(), c.name) << c.path;
  }
}

TEST(Paths, DriveLetterOf) {
  EXPECT_EQ(core::DriveLetterOf("c:\\x"), 'C');
  EXPECT_EQ(core::DriveLetterOf("Z:"), 'Z');
  EXPECT_EQ(core::DriveLetterOf("\\\\server\\x"), '\0');
  EXPECT_EQ(core::DriveLetterOf("1:\\x"), '\0');
  EXPECT_EQ(core::DriveLetterOf(""), '\0');
  EXPECT_EQ(core::DriveLetterOf(nullptr), '\0');
}

TEST(Paths, MakeAbsolutePath) {
  struct Case {
    const char *path, *base;
    bool changed;
    const char* result;
  } cases[] = {
      {"Data", "C:\\Program Files", true, "C:\\Program Files\\Data"},
      {"Data", "C:\\", true, "C:\\Data"},
      {"  Data\r\n", " \tC:\\Program Files", true, "C:\\Program Files\\Data"},
      {"\\Data", "C:\\Program Files", true, "C:\\Data"},
      {"D:tools", "C:\\Program Files", true, "D:\\Program Files\\tools"},
      {"D:tools", "C:\\", true, "D:\\tools"},
      {"Data", "\\\\server\\share", true, "\\\\server\\share\\Data"},
      {"\\\\server\\share", "C:\\Program Files", false, "\\\\server\\share"},
      {"C:\\abs", "D:\\base", false, "C:\\abs"},
      {"Data", "relative", false, "Data"},
      {"Data", "C:relative", false, "Data"},
      {"Data", nullptr, false, "Data"},
      {"  ", "C:\\", false, ""},
      {" Data ", "C:", false, "Data"},
      {"\\Data", "\\\\server\\share", false, "\\Data"},
      // A network base lends no folders to a drive-relative path.
      {"D:tools", "\\\\server\\share", false, "D:tools"},
  };
  for (const Case& c : cases) {
    core::String path(c.path);
    EXPECT_EQ(core::MakeAbsolutePath(path, c.base), c.changed) << c.path << " against " << (c.base ? c.base : "null");
    EXPECT_STREQ(path.CStr(), c.result) << c.path << " against " << (c.base ? c.base : "null");
  }
}

}  // namespace
}  // namespace kova::core
