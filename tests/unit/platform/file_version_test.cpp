// Version resources and initialization files: the same cases run natively
// (the POSIX platform's own PE reader and profile writer) and under Wine
// (version.dll and WritePrivateProfileStringA), so the two must agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/profile.h"
#include "support/file_system_fixture.h"
#include "support/pe_version_image.h"

#ifndef _WIN32
#include "platform/posix/pe_version.h"
#endif

namespace kova::platform {
namespace {

constexpr const char* kFileVersionKey = "\\StringFileInfo\\040904E4\\FileVersion";

class FileVersionTest : public test::FileSystemTest {
 protected:
  void PutBytes(const char* name, const std::vector<uint8_t>& bytes) {
    ScopedFile file(OpenFileHandle(Path(name).CStr(), kAccessWrite, 0, kCreateAlways, kAttributeNormal));
    ASSERT_TRUE(file);
    u32 done = 0;
    ASSERT_TRUE(WriteFileData(file.Get(), bytes.data(), static_cast<u32>(bytes.size()), &done));
  }
};

TEST_F(FileVersionTest, ReadsTextsOfTheVersionResource) {
  PutBytes("lib.dll", test::PeWithVersionBlock(test::VersionBlock("1.20.3b")));
  core::String dll = Path("lib.dll");
  EXPECT_STREQ(FileVersionValue(dll.CStr(), kFileVersionKey).CStr(), "1.20.3b");
  // Keys are compared without regard to case.
  EXPECT_STREQ(FileVersionValue(dll.CStr(), "\\stringfileinfo\\040904e4\\fileversion").CStr(), "1.20.3b");
  EXPECT_STREQ(FileVersionValue(dll.CStr(), "\\StringFileInfo\\040904E4\\CompanyName").CStr(), "Kova Test");
  EXPECT_STREQ(FileVersionValue(dll.CStr(), "\\StringFileInfo\\040904B0\\FileVersion").CStr(), "");
  EXPECT_STREQ(FileVersionValue(dll.CStr(), "\\StringFileInfo\\040904E4\\Missing").CStr(), "");

  PutBytes("other.dll", test::PeWithVersionBlock(test::VersionBlock("2.0", "040904B0")));
  EXPECT_STREQ(FileVersionValue(Path("other.dll").CStr(), kFileVersionKey).CStr(), "");

  Put("plain.txt", "MZ but nothing else");
  EXPECT_STREQ(FileVersionValue(Path("plain.txt").CStr(), kFileVersionKey).CStr(), "");
  EXPECT_STREQ(FileVersionValue(Path("missing.dll").CStr(), kFileVersionKey).CStr(), "");
}

// Changes to the resource tree of PeWithVersionBlock, whose section starts
// at file offset 0x200: the type directory's entry at 0x10 (ID, target at
// 0x14), the name directory's at 0x28, the language directory's at 0x40,
// the data entry at 0x48 (RVA, size).
constexpr size_t kTree = 0x200;
struct TreeChange {
  const char* name;
  size_t at;  // from kTree
  uint32_t value;
  const char* version;
};

void Patch(std::vector<uint8_t>& image, const TreeChange& change) {
  for (int i = 0; i < 4; ++i) image[kTree + change.at + i] = static_cast<uint8_t>(change.value >> (8 * i));
}

// The same verdicts from version.dll under Wine and from the POSIX reader.
TEST_F(FileVersionTest, FindsTheVersionThroughTheResourceTree) {
  const TreeChange cases[] = {
      {"as built", 0x40, 0x409, "4.5"},
      {"neutral language", 0x40, 0, "4.5"},
      {"German only: the first language", 0x40, 0x407, "4.5"},
      {"no version type", 0x10, 17, ""},
  };
  for (const TreeChange& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = test::PeWithVersionBlock(test::VersionBlock("4.5"));
    Patch(image, c);
    PutBytes("tree.dll", image);
    EXPECT_STREQ(FileVersionValue(Path("tree.dll").CStr(), kFileVersionKey).CStr(), c.version);
  }
}

TEST_F(FileVersionTest, ProfileStringsGoIntoTheirSection) {
  core::String ini = Path("wininit.ini");
  ASSERT_TRUE(SetProfileString("rename", "C:\\A\\OLD.DLL", "C:\\A\\KVT1.TMP", ini.CStr()));
  EXPECT_EQ(Get("wininit.ini"), "[rename]\r\nC:\\A\\OLD.DLL=C:\\A\\KVT1.TMP\r\n");
  ASSERT_TRUE(SetProfileString("rename", "C:\\A\\TWO.DLL", "C:\\A\\KVT2.TMP", ini.CStr()));
  // The same key again (in another letter case) keeps its place and spelling.
  ASSERT_TRUE(SetProfileString("Rename", "c:\\a\\old.dll", "C:\\A\\KVT3.TMP", ini.CStr()));
  EXPECT_EQ(Get("wininit.ini"), "[rename]\r\nC:\\A\\OLD.DLL=C:\\A\\KVT3.TMP\r\nC:\\A\\TWO.DLL=C:\\A\\KVT2.TMP\r\n");

  Put("system.ini", "[boot]\r\nshell=explorer.exe\r\n[rename]\r\nA=B\r\n");
  ASSERT_TRUE(SetProfileString("boot", "drivers", "mmsystem.dll", Path("system.ini").CStr()));
  EXPECT_EQ(Get("system.ini"), "[boot]\r\nshell=explorer.exe\r\ndrivers=mmsystem.dll\r\n[rename]\r\nA=B\r\n");
}

#ifndef _WIN32
// The POSIX reader on damaged images: every truncation and many random
// byte changes of a good image give a version or nothing, never a read
// outside the bytes (ASan watches).
TEST(PeVersionTest, DamagedImagesNeverReadOutOfBounds) {
  std::vector<uint8_t> good = test::PeWithVersionBlock(test::VersionBlock("4.5.6.7"));
  for (size_t size = 0; size < good.size(); size += 7) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    posix::MemoryImage image{cut.data(), cut.size()};
    core::ByteBuffer resource;
    if (posix::ReadVersionResource(posix::BytesOf(image), resource))
      posix::VersionBlockText(resource.Data(), resource.Size(), kFileVersionKey);
  }
  unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bad = good;
    for (int n = 0; n < 4; ++n) bad[random() % bad.size()] = static_cast<uint8_t>(random());
    posix::MemoryImage image{bad.data(), bad.size()};
    core::ByteBuffer resource;
    if (posix::ReadVersionResource(posix::BytesOf(image), resource)) {
      core::String text = posix::VersionBlockText(resource.Data(), resource.Size(), kFileVersionKey);
      ASSERT_LE(text.Length(), 0xFFFF) << "seed " << seed;
    }
  }
  posix::MemoryImage image{good.data(), good.size()};
  core::ByteBuffer resource;
  ASSERT_TRUE(posix::ReadVersionResource(posix::BytesOf(image), resource));
  EXPECT_STREQ(posix::VersionBlockText(resource.Data(), resource.Size(), kFileVersionKey).CStr(), "4.5.6.7");
  // The stand-in's own rules at each level of the tree: another name falls
  // back to the first, each level must point to the kind the next expects,
  // and named entries are never taken for IDs.
  const TreeChange cases[] = {
      {"name 2: the first name", 0x28, 2, "4.5.6.7"},
      {"type entry named", 0x10, 0x80000000u | 16, ""},
      {"name level points to data", 0x2C, 0x30, ""},
      {"language points to a directory", 0x44, 0x80000048u, ""},
      {"data size 0", 0x4C, 0, ""},
      // (version.dll under Wine reads such data from wherever it points.)
      {"data outside the sections", 0x48, 0x9000, ""},
  };
  for (const TreeChange& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> changed = good;
    Patch(changed, c);
    posix::MemoryImage patched{changed.data(), changed.size()};
    core::ByteBuffer found;
    std::string text;
    if (posix::ReadVersionResource(posix::BytesOf(patched), found))
      text = posix::VersionBlockText(found.Data(), found.Size(), kFileVersionKey).CStr();
    EXPECT_EQ(text, c.version);
  }
  // A node whose length runs past its parent ends the search.
  std::vector<uint8_t> block = test::VersionBlock("4.5.6.7");
  block[0] = 0xFF;
  block[1] = 0xFF;
  EXPECT_STREQ(posix::VersionBlockText(block.data(), block.size(), kFileVersionKey).CStr(), "");
}
#endif

}  // namespace
}  // namespace kova::platform
