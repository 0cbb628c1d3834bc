// The builder's reading of the stub: each damage to its headers or resource
// tree is refused with its own reason, checked in a fixed order, and a tree
// whose offsets fan out and meet again is refused instead of being walked
// into billions of entries.
#include "builder/pe_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "builder_fixtures.h"

namespace kova::builder {
namespace {

// Where the synthetic stub's parts lie (see MakeStub).
constexpr u32 kPe = test::kStubPeOffset;
constexpr u32 kOptional = kPe + 24;
constexpr u32 kTable = kOptional + 224;
constexpr u32 kResourceEntry = kOptional + 96 + 2 * 8;
constexpr u32 kRsrc = 0x800;  // the resource tree: root, names at 0x18, languages at 0x30, data at 0x48

struct Damage {
  const char* name;
  std::function<void(std::vector<u8>&)> change;
  const char* error;  // empty: no error
};

TEST(PeFile, DamagedHeadersAreRefusedWithTheirReason) {
  const Damage cases[] = {
      {"no MZ", [](std::vector<u8>& f) { f[0] = 'X'; }, "not a Windows program (no MZ header)"},
      {"e_lfanew past the end", [](std::vector<u8>& f) { test::Put32(f, 0x3C, 0x2000); },
       "not a PE file (no PE signature at e_lfanew)"},
      {"wrong signature", [](std::vector<u8>& f) { f[kPe] = 'X'; }, "not a PE file (no PE signature at e_lfanew)"},
      {"optional header of 64 bytes", [](std::vector<u8>& f) { test::Put16(f, kPe + 20, 64); },
       "the optional header is missing or cut short"},
      {"short before an unknown magic",
       [](std::vector<u8>& f) {
         test::Put16(f, kPe + 20, 64);
         test::Put16(f, kOptional, 0x107);
       },
       "the optional header is missing or cut short"},
      {"unknown magic", [](std::vector<u8>& f) { test::Put16(f, kOptional, 0x107); },
       "unknown optional header magic 0x107"},
      {"file alignment 0x300", [](std::vector<u8>& f) { test::Put32(f, kOptional + 36, 0x300); },
       "the section or file alignment is not a power of two"},
      {"table past the end", [](std::vector<u8>& f) { test::Put16(f, kPe + 6, 200); },
       "the section table runs past the end of the file"},
      {"alignment before the table",
       [](std::vector<u8>& f) {
         test::Put16(f, kPe + 6, 200);
         test::Put32(f, kOptional + 32, 0);
       },
       "the section or file alignment is not a power of two"},
      {"raw data past the end", [](std::vector<u8>& f) { test::Put32(f, kTable + 3 * 40 + 16, 0x400); },
       "the raw data of section '.reloc' runs past the end of the file"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u8> stub = test::MakeStub();
    c.change(stub);
    PeImage pe;
    std::string error;
    EXPECT_FALSE(ParsePe(stub, pe, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(PeFile, IconSearchRefusesDamagedResourceTrees) {
  const Damage cases[] = {
      {"good", [](std::vector<u8>&) {}, ""},
      {"no resource directory", [](std::vector<u8>& f) { test::Put32(f, kResourceEntry, 0); }, ""},
      {"directory outside the sections", [](std::vector<u8>& f) { test::Put32(f, kResourceEntry, 0x8000); },
       "the resource directory lies outside the file's sections"},
      {"root's entries run past", [](std::vector<u8>& f) { test::Put16(f, kRsrc + 14, 0x2000); },
       "a resource directory's entries run past its section"},
      {"directory size cuts the tree", [](std::vector<u8>& f) { test::Put32(f, kResourceEntry + 4, 0x20); },
       "a resource directory lies outside its section"},
      {"icon type is data", [](std::vector<u8>& f) { test::Put32(f, kRsrc + 20, 0x48); },
       "the icon resource type is not a directory"},
      {"data entry outside", [](std::vector<u8>& f) { test::Put32(f, kRsrc + 0x30 + 20, 0x5000); },
       "a resource data entry lies outside its section"},
      {"icon image outside the sections", [](std::vector<u8>& f) { test::Put32(f, kRsrc + 0x48, 0x9000); },
       "an icon image lies outside the file's sections"},
      {"language pointing back to the root", [](std::vector<u8>& f) { test::Put32(f, kRsrc + 0x30 + 20, 0x80000000u); },
       "the resource directory is malformed"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u8> stub = test::MakeStub();
    c.change(stub);
    PeImage pe;
    std::string error;
    ASSERT_TRUE(ParsePe(stub, pe, error)) << error;
    std::vector<IconImage> icons;
    EXPECT_EQ(FindIconImages(stub, pe, icons, error), *c.error == 0);
    if (*c.error) {
      EXPECT_EQ(error, c.error);
    } else if (std::string(c.name) == "good") {
      ASSERT_EQ(icons.size(), 1u);
      EXPECT_EQ(icons[0].fileOffset, test::kStubIconOffset);
      EXPECT_EQ(icons[0].size, kIconImageBytes);
    } else {
      EXPECT_TRUE(icons.empty());
    }
  }
}

// The section is padded to the larger alignment: a stub that claims one of a
// gigabyte would have the builder write a gigabyte of zeros.
TEST(PeFile, AppendSectionRefusesAlignmentsBeyond64KiB) {
  struct Case {
    u32 field;  // in the optional header
    u32 alignment;
    const char* error;
  } cases[] = {
      {32, 0x10000, ""},
      {32, 0x20000, "the stub's section or file alignment (0x20000) is larger than 64 KiB"},
      {36, 0x40000000, "the stub's section or file alignment (0x40000000) is larger than 64 KiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alignment);
    std::vector<u8> stub = test::MakeStub();
    test::Put32(stub, kOptional + c.field, c.alignment);
    const u8 contents[] = {1, 2, 3};
    AppendedSection placed;
    std::string error;
    EXPECT_EQ(AppendSection(stub, ".kova", contents, kSectionRead, placed, error), *c.error == 0);
    EXPECT_EQ(error, c.error);
    if (*c.error == 0) {
      EXPECT_EQ(placed.size, c.alignment);
    }
  }
}

// The .reloc section becomes a resource section whose 4094 name entries all
// point to one language directory of 65535 entries, all naming the stub's
// real icon: 268 million icon images for a walk without bounds.
TEST(PeFile, IconSearchEndsOnATreeThatFansOutAndMeetsAgain) {
  std::vector<u8> stub = test::MakeStub();
  constexpr u32 kNames = 0x18, kLanguages = kNames + 16 + 8 * 4094, kData = kLanguages + 16 + 8 * 0xFFFF;
  constexpr u32 kTreeBytes = kData + 16;
  std::vector<u8> tree(kTreeBytes, 0);
  test::Put16(tree, 14, 1);
  test::Put32(tree, 16, 3);
  test::Put32(tree, 20, 0x80000000u | kNames);
  test::Put16(tree, kNames + 14, 4094);
  for (u32 i = 0; i < 4094; ++i) {
    test::Put32(tree, kNames + 16 + 8 * i, i + 1);
    test::Put32(tree, kNames + 20 + 8 * i, 0x80000000u | kLanguages);
  }
  test::Put16(tree, kLanguages + 14, 0xFFFF);
  for (u32 i = 0; i < 0xFFFF; ++i) {
    test::Put32(tree, kLanguages + 16 + 8 * i, 1033);
    test::Put32(tree, kLanguages + 20 + 8 * i, kData);
  }
  test::Put32(tree, kData, 0x3000 + 0x70);
  test::Put32(tree, kData + 4, kIconImageBytes);
  u32 at = static_cast<u32>(stub.size());
  stub.insert(stub.end(), tree.begin(), tree.end());
  u32 reloc = kTable + 3 * 40;
  test::Put32(stub, reloc + 8, kTreeBytes);
  test::Put32(stub, reloc + 16, kTreeBytes);
  test::Put32(stub, reloc + 20, at);
  test::Put32(stub, kResourceEntry, 0x4000);
  test::Put32(stub, kResourceEntry + 4, kTreeBytes);

  PeImage pe;
  std::string error;
  ASSERT_TRUE(ParsePe(stub, pe, error)) << error;
  std::vector<IconImage> icons;
  EXPECT_FALSE(FindIconImages(stub, pe, icons, error));
  EXPECT_EQ(error, "the resource directory is malformed");
}

}  // namespace
}  // namespace kova::builder
