// Checksum, scrambling, the archive section and header, and the uninstaller
// image.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "format/archive.h"
#include "format/byte_writer.h"
#include "format/checksum.h"
#include "format/install_script.h"
#include "payload/fatal.h"

namespace kova::format {
namespace {

using test::ByteWriter;

TEST(Checksum32, KnownValues) {
  const u8 abc[] = {'a', 'b', 'c'};
  const u8 ff[] = {0xFF};
  EXPECT_EQ(format::Checksum32(abc, 3), 0x79E2BDC6u);
  EXPECT_EQ(format::Checksum32(abc, 0), format::kChecksumSeed);
  EXPECT_EQ(format::Checksum32(nullptr, 5), format::kChecksumSeed);
  EXPECT_EQ(format::Checksum32(ff, 1), format::kChecksumSeed);  // -1 for the byte, +1 for the length
  const u8 word[] = {1, 0, 0, 0, 0x80};
  EXPECT_EQ(format::Checksum32(word, 5), format::kChecksumSeed + 1 - 128 + 5);
}

TEST(Checksum32, StreamEqualsOneCall) {
  std::mt19937 random(42);
  std::vector<u8> data(100003);
  for (auto& b : data) b = static_cast<u8>(random());
  format::Checksum32Stream stream;
  stream.Add(data.data(), 4096);
  stream.Add(data.data() + 4096, 40000);
  stream.Add(data.data() + 44096, data.size() - 44096);
  EXPECT_EQ(stream.Finish(), format::Checksum32(data.data(), static_cast<i64>(data.size())));
}

TEST(Descramble, XorsWithTheKeyPattern) {
  u8 block[5] = {0, 0, 0, 0, 0};
  format::Descramble(block, 5, 0x44332211);
  const u8 expected[5] = {0x11, 0x22, 0x33, 0x44, 0x11};  // one word, then the key's lowest byte
  EXPECT_EQ(0, memcmp(block, expected, 5));
  std::vector<u8> data(1027, 0xA5);
  format::Descramble(data.data(), 1027, 0xDEADBEEF);
  format::Descramble(data.data(), 1027, 0xDEADBEEF);
  EXPECT_EQ(data, std::vector<u8>(1027, 0xA5));
  // Every length through the wide loops and the tails: byte i gets the key's
  // byte i mod 4.
  for (size_t length = 1; length <= 100; ++length) {
    std::vector<u8> bytes(length, 0x5A);
    format::Descramble(bytes.data(), static_cast<i64>(length), 0x44332211);
    for (size_t i = 0; i < length; ++i) ASSERT_EQ(bytes[i], 0x5A ^ (0x11 * ((i & 3) + 1))) << length << " " << i;
  }
}

// A PE head with the given sections (names), each 0x200 raw bytes.
ByteWriter PeHead(std::vector<std::string> names, uint32_t peOffset = 0x80) {
  ByteWriter w;
  w.Fill(0, 60).U32(peOffset).Fill(0, peOffset - 64);
  w.U32(0x4550).U16(0x14C).U16(static_cast<uint32_t>(names.size())).Fill(0, 12).U16(0xE0).U16(0x102);
  size_t optional = w.Size();
  w.Fill(0, 0xE0);
  w.PutU32(peOffset + 32, 0x5000);  // SizeOfInitializedData
  w.PutU32(peOffset + 80, 0x9000);  // SizeOfImage
  (void)optional;
  for (size_t i = 0; i < names.size(); ++i) {
    char name[8] = {};
    memcpy(name, names[i].data(), std::min<size_t>(8, names[i].size()));
    w.Raw(name, 8).U32(0x200).U32(0x1000 * static_cast<uint32_t>(i + 1)).U32(0x200).U32(0x400 + 0x200 * static_cast<uint32_t>(i));
    w.Fill(0, 16);
  }
  // Headers, then each section's 0x200 raw bytes.
  size_t end = 0x400 + 0x200 * names.size();
  if (w.Size() < end) w.Fill(0, end - w.Size());
  return w;
}

TEST(LocateArchive, FindsTheSectionAndChecksTheHeaders) {
  struct Case {
    const char* name;
    std::vector<std::string> sections;
    uint32_t peOffset;
    i32 result;
  } cases[] = {
      {"found", {".text", ".data", ".rsrc", ".reloc", ".kova"}, 0x80, 0},
      {"upper-case name is no archive", {".text", ".data", ".rsrc", ".reloc", ".KOVA"}, 0x80, format::kNoArchive},
      {"longer name is no archive", {".text", ".data", ".rsrc", ".reloc", ".kovax"}, 0x80, format::kNoArchive},
      {"three sections", {".text", ".data", ".kova"}, 0x80, format::kCorruptSectionCount},
      {"e_lfanew 63", {".text", ".data", ".rsrc", ".kova"}, 63, format::kCorruptPeOffset},
  };
  for (const Case& c : cases) {
    ByteWriter w = PeHead(c.sections, c.peOffset < 64 ? 0x80 : c.peOffset);
    if (c.peOffset < 64) w.PutU32(60, c.peOffset);
    format::PeLayout layout;
    EXPECT_EQ(format::LocateArchive(w.Data(), w.Size(), layout), c.result) << c.name;
    if (c.result == 0) {
      EXPECT_EQ(layout.archiveIndex, 4);
      EXPECT_EQ(layout.rawPointer, 0xC00u);
      EXPECT_EQ(layout.rawSize, 0x200u);
    }
  }
  ByteWriter far = PeHead({".a", ".b", ".c", ".kova"});
  far.PutU32(60, 4097);
  format::PeLayout layout;
  EXPECT_EQ(format::LocateArchive(far.Data(), far.Size(), layout), format::kCorruptPeOffset);
  ByteWriter zero = PeHead({".a", ".b", ".c", ".kova"});
  zero.PutU32(0x80 + 24 + 0xE0 + 3 * 40 + 20, 0);
  EXPECT_EQ(format::LocateArchive(zero.Data(), zero.Size(), layout), format::kCorruptNoSectionPointer);
  EXPECT_EQ(format::LocateArchive(zero.Data(), 10, layout), format::kCorruptPeOffset);
}

// The stub's own reading of its headers beyond the limits above: only the
// low 16 bits of e_lfanew, no signature or magic, the name compared as a
// text, a table that may run off the bytes present, and how many bytes each
// check needs.
TEST(LocateArchive, ReadsTheHeadersByTheStubsRules) {
  const std::vector<std::string> five = {".text", ".data", ".rsrc", ".reloc", ".kova"};
  const uint32_t table = 0x80 + 24 + 0xE0;
  std::vector<std::string> ninetyNine(98, ".x");
  ninetyNine.push_back(".kova");
  std::vector<std::string> hundred = ninetyNine;
  hundred.push_back(".y");
  auto put16 = [](ByteWriter& w, size_t at, uint32_t v) {
    w.bytes[at] = static_cast<uint8_t>(v);
    w.bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  struct Case {
    const char* name;
    std::vector<std::string> sections;
    uint32_t peOffset;
    std::function<void(ByteWriter&)> change;
    size_t headSize;  // 0: all the bytes
    i32 result;
    i32 index;  // of the archive's header when found
  };
  const Case cases[] = {
      {"e_lfanew 64", five, 64, nullptr, 0, 0, 4},
      {"e_lfanew 4096", five, 4096, nullptr, 0, 0, 4},
      {"high bits of e_lfanew", five, 0x80, [](ByteWriter& w) { w.PutU32(60, 0x00010080); }, 0, 0, 4},
      {"99 sections", ninetyNine, 0x80, nullptr, 0, 0, 98},
      {"100 sections", hundred, 0x80, nullptr, 0, format::kCorruptSectionCount, -1},
      {"no signature or magic", five, 0x80,
       [](ByteWriter& w) {
         w.PutU32(0x80, 0);
         w.PutU32(0x80 + 24, 0);
       },
       0, 0, 4},
      {"bytes after the name's NUL", {".text", ".data", ".rsrc", std::string(".kova\0AB", 8)}, 0x80, nullptr, 0, 0, 3},
      {"the first of two", {".text", ".kova", ".data", ".kova"}, 0x80, nullptr, 0, 0, 1},
      // A larger optional header moves the table: the slots are counted
      // from where it then starts.
      {"optional header 40 bytes larger", five, 0x80, [&](ByteWriter& w) { put16(w, 0x80 + 20, 0xE0 + 40); }, 0, 0, 3},
      {"head ends inside the archive's header", five, 0x80, nullptr, table + 4 * 40 + 39, format::kNoArchive, -1},
      {"head ends with the archive's header", five, 0x80, nullptr, table + 5 * 40, 0, 4},
      {"62 bytes: e_lfanew but no section count", five, 0x80, nullptr, 62, format::kCorruptSectionCount, -1},
      {"head ends before SizeOfOptionalHeader", five, 0x80, nullptr, 0x80 + 21, format::kNoArchive, -1},
      {"section count just readable and wrong", five, 0x80, [&](ByteWriter& w) { put16(w, 0x80 + 6, 3); }, 0x80 + 8,
       format::kCorruptSectionCount, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteWriter w = PeHead(c.sections, c.peOffset);
    if (c.change) c.change(w);
    format::PeLayout layout;
    ASSERT_EQ(format::LocateArchive(w.Data(), c.headSize ? c.headSize : w.Size(), layout), c.result);
    if (c.result == 0) {
      EXPECT_EQ(layout.archiveIndex, c.index);
    }
  }
}

ByteWriter Header(uint32_t magic, int32_t version, int32_t scriptSize, int32_t end, int32_t count, int32_t dataSize,
                  std::vector<int32_t> sizes) {
  ByteWriter w;
  w.U32(magic).I32(version).I32(scriptSize).U32(0x1234).U32(0x5678).I32(end).I32(count).I32(dataSize).U32(0x9ABC);
  for (int32_t s : sizes) w.I32(s);
  return w;
}

TEST(ReadArchiveHeader, ChecksEveryFieldInOrder) {
  struct Case {
    const char* name;
    ByteWriter bytes;
    i32 result;
  } cases[] = {
      {"good", Header(format::kArchiveMagic, 820, 100, 500, 2, 10, {4, 6}), 0},
      {"version 819", Header(format::kArchiveMagic, 819, 100, 500, 0, 0, {}), 0},
      {"version 100", Header(format::kArchiveMagic, 100, 100, 500, 0, 0, {}), 0},
      {"version 821", Header(format::kArchiveMagic, 821, 100, 500, 0, 0, {}), format::kVersionTooNew},
      {"wrong magic", Header(0xA4F23DE4, 820, 100, 500, 0, 0, {}), format::kCorruptMagic},
      {"script size 0", Header(format::kArchiveMagic, 820, 0, 500, 0, 0, {}), format::kCorruptScriptSize},
      {"script size 0x9FFFFF", Header(format::kArchiveMagic, 820, 0x9FFFFF, 500, 0, 0, {}), 0},
      {"script size 0xA00000", Header(format::kArchiveMagic, 820, 0xA00000, 500, 0, 0, {}), format::kCorruptScriptSize},
      {"negative end", Header(format::kArchiveMagic, 820, 100, -1, 0, 0, {}), format::kCorruptArchiveEnd},
      {"negative count", Header(format::kArchiveMagic, 820, 100, 500, -1, 0, {}), format::kCorruptFileCount},
      {"negative data size", Header(format::kArchiveMagic, 820, 100, 500, 0, -1, {}), format::kCorruptFileDataSize},
      {"size entry 1 GiB", Header(format::kArchiveMagic, 820, 100, 500, 1, 0, {0x40000000}), 0},
      {"size entry over 1 GiB", Header(format::kArchiveMagic, 820, 100, 500, 1, 0, {0x40000001}), format::kCorruptFileSizeEntry},
      {"negative size entry", Header(format::kArchiveMagic, 820, 100, 500, 2, 0, {1, -1}), format::kCorruptFileSizeEntry},
      {"table beyond the bytes", Header(format::kArchiveMagic, 820, 100, 500, 0x7FFFFFFF, 0, {1}), format::kCorruptFileSizeEntry},
      {"header cut short", Header(format::kArchiveMagic, 820, 100, 500, 0, 0, {}), 0},
  };
  cases[15].bytes.bytes.resize(30);
  cases[15].result = format::kCorruptFileSizeEntry;
  for (Case& c : cases) {
    format::ArchiveHeader header;
    EXPECT_EQ(format::ReadArchiveHeader(c.bytes.Data(), c.bytes.Size(), header), c.result) << c.name;
  }
  format::ArchiveHeader header;
  ByteWriter good = Header(format::kArchiveMagic, 820, 100, 500, 2, 10, {4, 6});
  ASSERT_EQ(format::ReadArchiveHeader(good.Data(), good.Size(), header), 0);
  EXPECT_EQ(header.fileSizes[1], 6);
  EXPECT_EQ(header.ScriptOffset(), 44);
  EXPECT_EQ(header.FileDataOffset(), 144);
}

TEST(UninstallerImage, RemovesTheSection) {
  ByteWriter file = PeHead({".text", ".data", ".rsrc", ".reloc", ".kova"});
  format::PeLayout layout;
  ASSERT_EQ(format::LocateArchive(file.Data(), file.Size(), layout), 0);
  core::ByteBuffer image(file.Data(), layout.rawPointer);
  const u8 tail[] = {'T', 'A', 'I', 'L'};
  ASSERT_TRUE(format::BuildUninstallerImage(layout, image, tail, sizeof tail));
  ASSERT_EQ(image.Size(), layout.rawPointer + sizeof tail);
  format::PeLayout after;
  EXPECT_EQ(format::LocateArchive(image.Data(), image.Size(), after), format::kNoArchive);
  const u8* pe = image.Data() + 0x80;
  auto le32 = [](const u8* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; };
  EXPECT_EQ(pe[6], 4);
  EXPECT_EQ(le32(pe + 32), 0x5000u - 0x200);
  EXPECT_EQ(le32(pe + 80), 0x9000u - 0x200);
  // The slot of the removed header now holds the zeros that followed the table.
  const u8* slot = image.Data() + layout.sectionTable + 4 * 40;
  EXPECT_EQ(std::vector<u8>(slot, slot + 40), std::vector<u8>(40, 0));
  EXPECT_EQ(0, memcmp(image.Data() + image.Size() - 4, "TAIL", 4));
}

TEST(UninstallerImage, SectionBeforeOthersShiftsTheirRawPointers) {
  ByteWriter file = PeHead({".text", ".kova", ".data", ".rsrc", ".reloc"});
  format::PeLayout layout;
  ASSERT_EQ(format::LocateArchive(file.Data(), file.Size(), layout), 0);
  core::ByteBuffer image(file.Data(), file.Size());
  ASSERT_TRUE(format::BuildUninstallerImage(layout, image, nullptr, 0));
  const u8* slot1 = image.Data() + layout.sectionTable + 40;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot1)), ".data");
  EXPECT_EQ(slot1[20] | slot1[21] << 8, 0x800 - 0x200);
}

TEST(UninstallerImage, IconPatchOnlyWhenItFits) {
  std::vector<u8> patch(format::kIconPatchBytes, 0xEE);
  core::ByteBuffer image;
  image.Resize(5000);
  format::ApplyIconPatch(image, 5000 - format::kIconPatchBytes, patch.data());
  EXPECT_EQ(image.Data()[4999], 0xEE);
  core::ByteBuffer small;
  small.Resize(3000);
  format::ApplyIconPatch(small, 3000 - format::kIconPatchBytes + 1, patch.data());
  EXPECT_EQ(small.Data()[2999], 0);
}

}  // namespace
}  // namespace kova::format
