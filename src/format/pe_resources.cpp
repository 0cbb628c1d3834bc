// The resource tree of a PE file; see pe_resources.h.
#include "format/pe_resources.h"

#include "format/byte_reader.h"

namespace kova::format {
namespace {

// A directory: characteristics, stamp, version, then the counts of named and
// of ID entries, then the entries of 8 bytes each (named ones first).
constexpr u32 kDirectoryBytes = 16;
constexpr u32 kNamedCountField = 12;
constexpr u32 kIdCountField = 14;
constexpr u32 kEntryBytes = 8;
constexpr u32 kDataEntryBytes = 16;
// The high bit of an entry's name marks a name text, of its target a
// subdirectory; the other bits are offsets from the root directory.
constexpr u32 kHighBit = 0x80000000u;

}  // namespace

struct PeResourceTree::Walk {
  u32 type;
  DataVisitor visit;
  void* context;
  u32 directories = 0;
  u32 entries = 0;
};

bool PeResourceTree::EntryCount(u32 directory, u32& count) const {
  if (!Has(directory, kDirectoryBytes)) return false;
  const u8* head = bytes_ + directory;
  count = LoadLe16(head + kNamedCountField) + LoadLe16(head + kIdCountField);
  return true;
}

bool PeResourceTree::EntryAt(u32 directory, u32 index, PeResourceEntry& entry) const {
  u64 at = static_cast<u64>(directory) + kDirectoryBytes + static_cast<u64>(index) * kEntryBytes;
  if (!Has(at, kEntryBytes)) return false;
  u32 name = LoadLe32(bytes_ + at);
  u32 target = LoadLe32(bytes_ + at + 4);
  entry.named = (name & kHighBit) != 0;
  entry.id = name & ~kHighBit;
  entry.isDirectory = (target & kHighBit) != 0;
  entry.target = target & ~kHighBit;
  return true;
}

bool PeResourceTree::FindId(u32 directory, u32 id, PeResourceEntry& entry) const {
  u32 count = 0;
  if (!EntryCount(directory, count)) return false;
  for (u32 i = 0; i < count; ++i) {
    PeResourceEntry candidate;
    if (!EntryAt(directory, i, candidate)) return false;
    if (candidate.named) continue;
    if (id == kAnyId || candidate.id == id) {
      entry = candidate;
      return true;
    }
  }
  return false;
}

bool PeResourceTree::FindFirstOf(u32 directory, const u32* ids, int count, PeResourceEntry& entry) const {
  for (int i = 0; i < count; ++i)
    if (FindId(directory, ids[i], entry)) return true;
  return FindId(directory, kAnyId, entry);
}

bool PeResourceTree::DataAt(u32 offset, PeResourceData& data) const {
  if (!Has(offset, kDataEntryBytes)) return false;
  data.rva = LoadLe32(bytes_ + offset);
  data.size = LoadLe32(bytes_ + offset + 4);
  return true;
}

PeResourceError PeResourceTree::ForEachData(u32 type, DataVisitor visit, void* context) const {
  Walk walk{type, visit, context};
  return WalkDirectory(walk, 0, 0);
}

PeResourceError PeResourceTree::WalkDirectory(Walk& walk, u32 directory, int level) const {
  if (level >= kLevels || ++walk.directories > kMaxDirectories) return PeResourceError::kMalformed;
  u32 count = 0;
  if (!EntryCount(directory, count)) return PeResourceError::kDirectoryOutside;
  if ((size_ - directory - kDirectoryBytes) / kEntryBytes < count) return PeResourceError::kEntriesOutside;
  for (u32 i = 0; i < count; ++i) {
    if (++walk.entries > kMaxEntries) return PeResourceError::kMalformed;
    PeResourceEntry entry;
    EntryAt(directory, i, entry);  // inside: the entries were checked above
    if (level == 0) {
      if (entry.named || entry.id != walk.type) continue;
      if (!entry.isDirectory) return PeResourceError::kTypeNotDirectory;
    }
    if (entry.isDirectory) {
      PeResourceError error = WalkDirectory(walk, entry.target, level + 1);
      if (error != PeResourceError::kNone) return error;
    } else {
      PeResourceData data;
      if (!DataAt(entry.target, data)) return PeResourceError::kDataOutside;
      if (!walk.visit(walk.context, data)) return PeResourceError::kStopped;
    }
  }
  return PeResourceError::kNone;
}

}  // namespace kova::format
