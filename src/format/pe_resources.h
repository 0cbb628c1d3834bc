// The resource tree of a PE file: a directory of types, below each a
// directory of names or IDs, below each a directory of languages, whose
// entries point to data entries (the RVA and size of the resource's bytes).
// The tree is read from the bytes of the resource section from the root
// directory on, since every offset in it counts from there. Each directory,
// entry and data entry is checked against those bytes before it is read,
// and the walk over the whole tree is bounded in depth, directories and
// entries, so that a damaged tree whose offsets point back up or at each
// other ends instead of running on.
#pragma once

#include "core/types.h"

namespace kova::format {

inline constexpr u32 kResourceTypeIcon = 3;
inline constexpr u32 kResourceTypeVersion = 16;

struct PeResourceEntry {
  u32 id = 0;      // an ID, or when named the offset of the name's text
  u32 target = 0;  // offset of the subdirectory or of the data entry
  bool named = false;
  bool isDirectory = false;
};

struct PeResourceData {
  u32 rva = 0;
  u32 size = 0;
};

// What PeResourceTree::ForEachData found, in the order it checks.
enum class PeResourceError : u8 {
  kNone,
  kStopped,           // the visitor asked to stop
  kMalformed,         // deeper than type, name and language, or larger than any real tree
  kDirectoryOutside,  // a directory's header lies outside the bytes
  kEntriesOutside,    // a directory's entries run past the bytes
  kTypeNotDirectory,  // a type's entry points to data instead of names
  kDataOutside,       // a data entry lies outside the bytes
};

class PeResourceTree {
 public:
  // Any ID entry, for FindId.
  static constexpr u32 kAnyId = 0xFFFFFFFFu;
  // A directory below the language level, a tree of more directories or
  // entries than these, is taken as damage: a real file has a few hundred
  // resources, and a tree whose offsets loop would otherwise be walked
  // again and again.
  static constexpr int kLevels = 3;
  static constexpr u32 kMaxDirectories = 4096;
  static constexpr u32 kMaxEntries = 0x10000;

  PeResourceTree(const u8* bytes, std::size_t size) : bytes_(bytes), size_(bytes ? size : 0) {}

  // The number of entries (named and ID) the directory at offset declares;
  // false when its header lies outside the bytes.
  bool EntryCount(u32 directory, u32& count) const;
  // Entry index of the directory at offset; false when it lies outside the
  // bytes.
  bool EntryAt(u32 directory, u32 index, PeResourceEntry& entry) const;

  // The first ID entry of the directory whose ID is id (any ID entry with
  // kAnyId); named entries are passed over. The search ends at the first
  // entry outside the bytes.
  bool FindId(u32 directory, u32 id, PeResourceEntry& entry) const;
  // The entry of the first of the count ids the directory holds, else its
  // first ID entry.
  bool FindFirstOf(u32 directory, const u32* ids, int count, PeResourceEntry& entry) const;

  // The data entry at offset; false when its 16 bytes lie outside the bytes.
  bool DataAt(u32 offset, PeResourceData& data) const;

  // Calls visit for every data entry below the ID entries of type at the
  // type level, in directory order, depth first, until it returns false
  // (kStopped). Every directory on the way must lie with all its entries
  // inside the bytes.
  using DataVisitor = bool (*)(void* context, const PeResourceData& data);
  PeResourceError ForEachData(u32 type, DataVisitor visit, void* context) const;

 private:
  struct Walk;
  PeResourceError WalkDirectory(Walk& walk, u32 directory, int level) const;
  bool Has(u64 at, u64 n) const { return at <= size_ && n <= size_ - at; }

  const u8* bytes_;
  std::size_t size_;
};

}  // namespace kova::format
