// The sandbox judges font files as Windows does before adding them: an sfnt
// (TrueType, OpenType or a collection of them) whose tables lie within the
// file, or a raster font resource file; nothing else.
#ifndef _WIN32

#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <string>

#include "support/file_system_fixture.h"

namespace kova::platform {
namespace {

std::string Be32(u32 v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                     static_cast<char>(v)};
}

// An sfnt header with one table record at offset 28 of length.
std::string Sfnt(u32 version, u32 tableLength) {
  std::string font = Be32(version) + std::string("\0\1\0\0\0\0\0\0", 8);
  font += "head" + Be32(0) + Be32(28) + Be32(tableLength);
  return font + std::string(16, 'x');
}

class FontFileTest : public test::FileSystemTest {};

TEST_F(FontFileTest, OnlyFontsAreAdded) {
  std::string collection = "ttcf" + Be32(0x00010000) + Be32(1) + Be32(16) + Sfnt(0x00010000, 4);
  struct Case {
    const char* name;
    std::string bytes;
    i32 added;
  } cases[] = {
      {"true.ttf", Sfnt(0x00010000, 16), 1},
      {"open.otf", Sfnt(0x4F54544F, 16), 1},
      {"raster.fon", "MZ" + std::string(64, '\0'), 1},
      {"both.ttc", collection, 1},
      {"cut.ttf", Sfnt(0x00010000, 17), 0},  // the table runs past the end
      {"text.ttf", "This is not a font at all.", 0},
      {"empty.ttf", "", 0},
      {"bad.ttc", "ttcf" + Be32(0x00010000) + Be32(1) + Be32(4096), 0},
  };
  for (const Case& c : cases) {
    Put(c.name, "");
    platform::ScopedFile file(platform::OpenFileHandle(Path(c.name).CStr(), kAccessWrite, 0, kCreateAlways,
                                                       kAttributeNormal));
    u32 done = 0;
    if (!c.bytes.empty()) WriteFileData(file.Get(), c.bytes.data(), static_cast<u32>(c.bytes.size()), &done);
    file.Reset();
    EXPECT_EQ(AddFontFile(Path(c.name).CStr()), c.added) << c.name;
  }
  EXPECT_EQ(AddFontFile(Path("missing.ttf").CStr()), 0);
}

}  // namespace
}  // namespace kova::platform

#endif
