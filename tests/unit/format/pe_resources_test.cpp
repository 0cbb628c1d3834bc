// The PE walker's resource tree: lookups by ID, the walk over a type's data
// entries in directory order, the error of each kind of damage, and the
// bounds that end a tree whose offsets loop.
#include "format/pe_resources.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "format/pe_test_image.h"

namespace kova::format {
namespace {

using test::ResourceWriter;
constexpr u32 kDir = ResourceWriter::kDirectory;

// Root (0x00): a named type, icons (3) -> 0x28, versions (16) -> 0x80.
// Icons 0x28: id 1 -> 0x48, id 2 -> 0x60. 0x48: 0x409 -> data 0xB0.
// 0x60: 0x407 -> data 0xC0, 0x409 -> data 0xD0. Versions 0x80: id 1 -> 0x98.
// 0x98: 0x407 -> data 0xE0. The named type's text would lie at 0xF0.
ResourceWriter Tree() {
  ResourceWriter w;
  w.Directory(0x00, {{0x80000000u | 0xF0, kDir | 0x28}, {3, kDir | 0x28}, {16, kDir | 0x80}}, 1);
  w.Directory(0x28, {{1, kDir | 0x48}, {2, kDir | 0x60}});
  w.Directory(0x48, {{0x409, 0xB0}});
  w.Directory(0x60, {{0x407, 0xC0}, {0x409, 0xD0}});
  w.Directory(0x80, {{1, kDir | 0x98}});
  w.Directory(0x98, {{0x407, 0xE0}});
  w.Data(0xB0, 0x1000, 1).Data(0xC0, 0x2000, 2).Data(0xD0, 0x3000, 3).Data(0xE0, 0x4000, 4);
  w.Grow(0x100);
  return w;
}

std::vector<u32> DataOf(const PeResourceTree& tree, u32 type, PeResourceError* error = nullptr) {
  std::vector<u32> rvas;
  PeResourceError result = tree.ForEachData(
      type,
      [](void* context, const PeResourceData& data) {
        static_cast<std::vector<u32>*>(context)->push_back(data.rva);
        return true;
      },
      &rvas);
  if (error) *error = result;
  else EXPECT_EQ(result, PeResourceError::kNone);
  return rvas;
}

TEST(PeResourceTree, WalksATypesDataInDirectoryOrder) {
  ResourceWriter w = Tree();
  PeResourceTree tree(w.bytes.data(), w.bytes.size());
  EXPECT_EQ(DataOf(tree, kResourceTypeIcon), (std::vector<u32>{0x1000, 0x2000, 0x3000}));
  EXPECT_EQ(DataOf(tree, kResourceTypeVersion), (std::vector<u32>{0x4000}));
  EXPECT_TRUE(DataOf(tree, 99).empty());
  // A named entry whose text offset equals a type's ID is no such type.
  EXPECT_TRUE(DataOf(tree, 0xF0).empty());
}

TEST(PeResourceTree, FindsEntriesById) {
  ResourceWriter w = Tree();
  PeResourceTree tree(w.bytes.data(), w.bytes.size());
  u32 count = 0;
  ASSERT_TRUE(tree.EntryCount(0, count));
  EXPECT_EQ(count, 3u);
  PeResourceEntry entry;
  ASSERT_TRUE(tree.EntryAt(0, 0, entry));
  EXPECT_TRUE(entry.named);
  EXPECT_EQ(entry.id, 0xF0u);
  // The first ID entry, past the named one.
  ASSERT_TRUE(tree.FindId(0, PeResourceTree::kAnyId, entry));
  EXPECT_EQ(entry.id, 3u);
  ASSERT_TRUE(tree.FindId(0, kResourceTypeVersion, entry));
  EXPECT_TRUE(entry.isDirectory);
  EXPECT_EQ(entry.target, 0x80u);
  EXPECT_FALSE(tree.FindId(0, 4, entry));

  const u32 languages[] = {0, 0x409};
  ASSERT_TRUE(tree.FindFirstOf(0x60, languages, 2, entry));
  EXPECT_EQ(entry.id, 0x409u);  // the second wanted one, though not first in the directory
  ASSERT_TRUE(tree.FindFirstOf(0x98, languages, 2, entry));
  EXPECT_EQ(entry.id, 0x407u);  // none wanted: the first
  EXPECT_FALSE(entry.isDirectory);
  PeResourceData data;
  ASSERT_TRUE(tree.DataAt(entry.target, data));
  EXPECT_EQ(data.rva, 0x4000u);
  EXPECT_EQ(data.size, 4u);

  EXPECT_FALSE(tree.DataAt(0xF8, data));
  EXPECT_FALSE(tree.EntryCount(0xF8, count));
  EXPECT_FALSE(tree.EntryAt(0x98, 100, entry));
}

TEST(PeResourceTree, DamageEndsTheWalkWithItsError) {
  struct Case {
    const char* name;
    std::function<void(ResourceWriter&)> change;
    PeResourceError result;
  };
  const Case cases[] = {
      {"root cut", [](ResourceWriter& w) { w.bytes.resize(15); }, PeResourceError::kDirectoryOutside},
      {"root's entries run off", [](ResourceWriter& w) { w.Put16(14, 0x20); }, PeResourceError::kEntriesOutside},
      {"icon type points to data", [](ResourceWriter& w) { w.Put32(16 + 8 + 4, 0xB0); },
       PeResourceError::kTypeNotDirectory},
      {"subdirectory outside", [](ResourceWriter& w) { w.Put32(0x28 + 16 + 4, kDir | 0xFF8); },
       PeResourceError::kDirectoryOutside},
      {"data entry outside", [](ResourceWriter& w) { w.Put32(0x48 + 16 + 4, 0xF8); }, PeResourceError::kDataOutside},
      {"a language pointing back to the root", [](ResourceWriter& w) { w.Put32(0x48 + 16 + 4, kDir | 0); },
       PeResourceError::kMalformed},
      {"a name directory holding itself", [](ResourceWriter& w) { w.Put32(0x28 + 16 + 4, kDir | 0x28); },
       PeResourceError::kMalformed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResourceWriter w = Tree();
    c.change(w);
    PeResourceTree tree(w.bytes.data(), w.bytes.size());
    PeResourceError error;
    DataOf(tree, kResourceTypeIcon, &error);
    EXPECT_EQ(error, c.result);
  }
}

TEST(PeResourceTree, VisitorStopsTheWalk) {
  ResourceWriter w = Tree();
  PeResourceTree tree(w.bytes.data(), w.bytes.size());
  int calls = 0;
  PeResourceError error = tree.ForEachData(
      kResourceTypeIcon,
      [](void* context, const PeResourceData&) { return ++*static_cast<int*>(context) < 2; }, &calls);
  EXPECT_EQ(error, PeResourceError::kStopped);
  EXPECT_EQ(calls, 2);
}

// Offsets that fan out and meet again: every level's entries point to the
// same directory below. Without the bounds, the first tree would be walked
// into 4094 x 65535 data entries and the second into 5000 directories.
TEST(PeResourceTree, TreesThatMeetAgainAreBounded) {
  constexpr u32 kNames = 0x18, kLanguages = kNames + 16 + 8 * 4094, kData = kLanguages + 16 + 8 * 0xFFFF;
  ResourceWriter fan;
  fan.Directory(0, {{3, kDir | kNames}});
  fan.Directory(kNames, std::vector<ResourceWriter::Entry>(4094, {1, kDir | kLanguages}));
  fan.Directory(kLanguages, std::vector<ResourceWriter::Entry>(0xFFFF, {0x409, kData}));
  fan.Data(kData, 0x1000, 8);
  PeResourceTree tree(fan.bytes.data(), fan.bytes.size());
  PeResourceError error;
  std::vector<u32> rvas = DataOf(tree, kResourceTypeIcon, &error);
  EXPECT_EQ(error, PeResourceError::kMalformed);
  EXPECT_LT(rvas.size(), PeResourceTree::kMaxEntries);

  constexpr u32 kEmpty = kNames + 16 + 8 * 5000;
  ResourceWriter wide;
  wide.Directory(0, {{3, kDir | kNames}});
  wide.Directory(kNames, std::vector<ResourceWriter::Entry>(5000, {1, kDir | kEmpty}));
  wide.Directory(kEmpty, {});
  PeResourceTree wideTree(wide.bytes.data(), wide.bytes.size());
  DataOf(wideTree, kResourceTypeIcon, &error);
  EXPECT_EQ(error, PeResourceError::kMalformed);
}

}  // namespace
}  // namespace kova::format
