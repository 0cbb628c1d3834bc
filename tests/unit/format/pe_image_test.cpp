// The PE walker's headers and section table: the fields of PE32 and PE32+,
// the first problem of a damaged header, the section-name comparison the
// stub relies on, and the mapping of RVAs to file offsets.
#include "format/pe_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "format/pe_test_image.h"

namespace kova::format {
namespace {

using test::TestPe;
using test::TestSection;

TestPe TwoSections(bool pe32Plus) {
  TestPe pe;
  pe.pe32Plus = pe32Plus;
  pe.resourceRva = 0x2010;
  pe.resourceSize = 0x80;
  pe.sections = {{".text", 0x1000, 0x180, 0x400, 0x200, 0x60000020}, {".rsrc", 0x2000, 0x90, 0x600, 0x200}};
  pe.fileSize = 0x800;
  return pe;
}

TEST(PeHeaders, ReadsPe32AndPe32Plus) {
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    TestPe spec = TwoSections(pe32Plus);
    std::vector<u8> file = spec.Bytes();
    u32 peOffset = 0;
    ASSERT_TRUE(ReadPeOffset(file.data(), file.size(), peOffset));
    ASSERT_EQ(peOffset, spec.peOffset);
    PeHeaders headers;
    ASSERT_EQ(ReadPeHeaders(file.data() + peOffset, file.size() - peOffset, headers), PeError::kNone);
    EXPECT_EQ(headers.machine, pe32Plus ? 0x8664u : 0x14Cu);
    EXPECT_EQ(headers.IsPe32Plus(), pe32Plus);
    EXPECT_EQ(headers.sectionCount, 2u);
    EXPECT_EQ(headers.optionalHeaderSize, spec.OptionalHeaderSize());
    EXPECT_EQ(headers.sizeOfInitializedData, 0x3000u);
    EXPECT_EQ(headers.sectionAlignment, 0x1000u);
    EXPECT_EQ(headers.fileAlignment, 0x200u);
    EXPECT_EQ(headers.sizeOfImage, 0x9000u);
    EXPECT_EQ(headers.sizeOfHeaders, 0x400u);
    EXPECT_EQ(peOffset + headers.SectionTableOffset(), spec.SectionTable());
    EXPECT_EQ(headers.dataDirectoryCount, 16u);
    u32 rva = 0, size = 0;
    ASSERT_TRUE(headers.DataDirectory(kDataDirectoryResources, rva, size));
    EXPECT_EQ(rva, 0x2010u);
    EXPECT_EQ(size, 0x80u);
    EXPECT_FALSE(headers.DataDirectory(16, rva, size));
    ASSERT_TRUE(headers.sections.IsWhole());
    PeSection text = headers.sections.At(0);
    EXPECT_STREQ(text.name, ".text");
    EXPECT_EQ(text.virtualSize, 0x180u);
    EXPECT_EQ(text.virtualAddress, 0x1000u);
    EXPECT_EQ(text.rawSize, 0x200u);
    EXPECT_EQ(text.rawPointer, 0x400u);
    EXPECT_EQ(text.characteristics, 0x60000020u);
    EXPECT_EQ(PeHeadersSize(file.data() + peOffset), headers.SectionTableOffset() + 2 * kSectionHeaderBytes);
  }
}

// Each case damages a good PE32 head; fields read before the problem keep
// their values.
TEST(PeHeaders, ReportsTheFirstProblem) {
  TestPe spec = TwoSections(false);
  const u32 pe = spec.peOffset, optional = spec.OptionalHeader(), table = spec.SectionTable();
  struct Case {
    const char* name;
    std::function<void(std::vector<u8>&)> change;
    PeError result;
    std::function<void(const PeHeaders&)> check;
  };
  auto put16 = [](std::vector<u8>& f, u32 at, u32 v) {
    f[at] = static_cast<u8>(v);
    f[at + 1] = static_cast<u8>(v >> 8);
  };
  const Case cases[] = {
      {"23 bytes", [&](std::vector<u8>& f) { f.resize(pe + 23); }, PeError::kNoSignature, nullptr},
      {"no signature", [&](std::vector<u8>& f) { f[pe + 3] = 1; }, PeError::kNoSignature, nullptr},
      {"optional header cut", [&](std::vector<u8>& f) { f.resize(optional + 0xDF); }, PeError::kOptionalHeaderCut,
       [](const PeHeaders& h) { EXPECT_EQ(h.sectionCount, 2u); }},
      {"optional header of one byte", [&](std::vector<u8>& f) { put16(f, pe + 20, 1); }, PeError::kOptionalHeaderCut,
       nullptr},
      {"unknown magic", [&](std::vector<u8>& f) { put16(f, optional, 0x107); }, PeError::kUnknownMagic,
       [](const PeHeaders& h) { EXPECT_EQ(h.magic, 0x107u); }},
      {"table cut", [&](std::vector<u8>& f) { f.resize(table + 79); }, PeError::kSectionTableCut,
       [](const PeHeaders& h) {
         EXPECT_EQ(h.sizeOfImage, 0x9000u);
         EXPECT_EQ(h.sections.PresentCount(), 1u);
       }},
      {"more directories than room", [&](std::vector<u8>& f) { put16(f, optional + 92, 0x1000); }, PeError::kNone,
       [](const PeHeaders& h) { EXPECT_EQ(h.dataDirectoryCount, 16u); }},
      {"two directories: no resources", [&](std::vector<u8>& f) { put16(f, optional + 92, 2); }, PeError::kNone,
       [](const PeHeaders& h) {
         u32 rva, size;
         EXPECT_FALSE(h.DataDirectory(kDataDirectoryResources, rva, size));
       }},
      // A PE32+ magic in a header of PE32 size: its directories start 16
      // bytes later, so two fewer fit.
      {"PE32+ magic, PE32 size", [&](std::vector<u8>& f) { put16(f, optional, 0x20B); f[optional + 108] = 16; },
       PeError::kNone, [](const PeHeaders& h) { EXPECT_EQ(h.dataDirectoryCount, 14u); }},
      {"optional header ends before the directories", [&](std::vector<u8>& f) { put16(f, pe + 20, 95); },
       PeError::kNone, [](const PeHeaders& h) {
         EXPECT_EQ(h.dataDirectoryCount, 0u);
         EXPECT_EQ(h.sizeOfHeaders, 0x400u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u8> file = spec.Bytes();
    c.change(file);
    PeHeaders headers;
    EXPECT_EQ(ReadPeHeaders(file.data() + pe, file.size() - pe, headers), c.result);
    if (c.check) c.check(headers);
  }
}

TEST(PeHeaders, PeOffsetNeedsTheWholeDosHeader) {
  std::vector<u8> file = TwoSections(false).Bytes();
  u32 peOffset = 0;
  EXPECT_FALSE(ReadPeOffset(file.data(), 63, peOffset));
  EXPECT_FALSE(ReadPeOffset(nullptr, 64, peOffset));
  file[60] = 0x80;
  file[62] = 0x01;  // all 32 bits count here
  ASSERT_TRUE(ReadPeOffset(file.data(), 64, peOffset));
  EXPECT_EQ(peOffset, 0x10080u);
  file[1] = 'X';
  EXPECT_FALSE(ReadPeOffset(file.data(), file.size(), peOffset));
}

TEST(PeSectionTable, ComparesNamesAsNulTerminatedTextsOfAtMostEightBytes) {
  struct Case {
    std::string stored;  // the 8 bytes of the header's name
    const char* wanted;
    bool found;
  } cases[] = {
      {std::string(".kova\0\0\0", 8), ".kova", true},
      {std::string(".kova\0AB", 8), ".kova", true},  // bytes after the NUL do not count
      {std::string(".KOVA\0\0\0", 8), ".kova", false},
      {std::string(".kovax\0\0", 8), ".kova", false},
      {std::string(".kov\0\0\0\0", 8), ".kova", false},
      {std::string(".kova123", 8), ".kova123", true},  // no NUL of its own
      {std::string(".kova123", 8), ".kova", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    TestPe spec;
    spec.sections = {{".text", 0x1000, 0, 0x400, 0}, {c.stored, 0x2000, 0, 0x400, 0}};
    std::vector<u8> file = spec.Bytes();
    PeSectionTable table(file.data(), file.size(), spec.SectionTable(), 2);
    EXPECT_EQ(table.Find(c.wanted), c.found ? 1 : -1);
  }
}

TEST(PeSectionTable, HeadersPastTheBytesAreNotThere) {
  TestPe spec;
  spec.sections = {{".text", 0x1000, 0, 0x400, 0}, {".kova", 0x2000, 0, 0x600, 0}};
  std::vector<u8> file = spec.Bytes();
  u32 table = spec.SectionTable();
  for (u32 cut : {table + 79, table + 80}) {
    PeSectionTable present(file.data(), cut, table, 2);
    EXPECT_EQ(present.PresentCount(), cut == table + 80 ? 2u : 1u);
    EXPECT_EQ(present.Find(".kova"), cut == table + 80 ? 1 : -1);
  }
  // A table that starts past the bytes, or a count far beyond them.
  EXPECT_EQ(PeSectionTable(file.data(), table, table + 1, 2).PresentCount(), 0u);
  EXPECT_EQ(PeSectionTable(file.data(), file.size(), table, 0xFFFF).PresentCount(),
            (file.size() - table) / kSectionHeaderBytes);
  EXPECT_EQ(PeSectionTable(nullptr, 100, 0, 2).PresentCount(), 0u);
}

TEST(PeSectionTable, MapsRvasThroughTheFirstSectionHoldingThem) {
  TestPe spec;
  spec.sections = {
      {"A", 0x1000, 0x200, 0x400, 0x200},
      {"B", 0x2000, 0x1000, 0x600, 0x100},   // virtual size beyond its raw data
      {"C", 0x1000, 0x400, 0x800, 0x400},    // overlaps A, with more raw data
  };
  std::vector<u8> file = spec.Bytes();
  PeSectionTable table(file.data(), file.size(), spec.SectionTable(), 3);
  struct Case {
    const char* name;
    u32 rva, size;
    bool found;
    u64 offset;
    u32 available;
  } cases[] = {
      {"start of A", 0x1000, 1, true, 0x400, 0x200},
      {"last byte of A", 0x11FF, 1, true, 0x5FF, 1},
      {"just past A: C holds it", 0x1200, 1, true, 0xA00, 0x200},
      {"an empty range at A's end", 0x1200, 0, true, 0x600, 0},
      {"a range A cannot hold whole", 0x1100, 0x180, true, 0x900, 0x300},
      {"B's virtual part has no file bytes", 0x2100, 1, false, 0, 0},
      {"before every section", 0xFFF, 1, false, 0, 0},
      {"the top of the address space", 0xFFFFFFFF, 2, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    u64 offset = 0;
    u32 available = 0;
    ASSERT_EQ(table.MapRva(c.rva, c.size, offset, available), c.found);
    if (!c.found) continue;
    EXPECT_EQ(offset, c.offset);
    EXPECT_EQ(available, c.available);
  }
}

}  // namespace
}  // namespace kova::format
