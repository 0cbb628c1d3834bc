// The archive section, its header and the uninstaller image; see archive.h.
#include "format/archive.h"

#include <cstring>

#include "format/corrupt_codes.h"
#include "format/install_script.h"

namespace kova::format {
namespace {

u32 Le16(const u8* p) { return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8; }
u32 Le32(const u8* p) { return Le16(p) | static_cast<u32>(p[2]) << 16 | static_cast<u32>(p[3]) << 24; }

void PutLe16(u8* p, u32 value) {
  p[0] = static_cast<u8>(value);
  p[1] = static_cast<u8>(value >> 8);
}
void PutLe32(u8* p, u32 value) {
  PutLe16(p, value);
  PutLe16(p + 2, value >> 16);
}

// A cursor over the section bytes: reads past the present bytes fail once
// and for good.
class Cursor {
 public:
  Cursor(const u8* data, std::size_t size) : data_(data), size_(size) {}
  u32 Next() {
    if (failed_ || size_ - position_ < 4) {
      failed_ = true;
      return 0;
    }
    u32 value = Le32(data_ + position_);
    position_ += 4;
    return value;
  }
  bool Failed() const { return failed_; }
  std::size_t Remaining() const { return size_ - position_; }

 private:
  const u8* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace

i32 LocateArchive(const u8* head, std::size_t headSize, PeLayout& layout) {
  if (headSize < kPeOffsetField + 2) return kCorruptPeOffset;
  layout.peOffset = Le16(head + kPeOffsetField);
  if (layout.peOffset < 64 || layout.peOffset > 4096) return kCorruptPeOffset;
  if (headSize < layout.peOffset + 8) return kCorruptSectionCount;
  layout.sectionCount = Le16(head + layout.peOffset + 6);
  if (layout.sectionCount < 4 || layout.sectionCount > 99) return kCorruptSectionCount;
  if (headSize < layout.peOffset + 22) return kNoArchive;
  layout.optionalHeaderSize = Le16(head + layout.peOffset + 20);
  layout.sectionTable = layout.peOffset + 24 + layout.optionalHeaderSize;

  for (u32 i = 0; i < layout.sectionCount; ++i) {
    std::size_t at = layout.sectionTable + static_cast<std::size_t>(i) * kSectionHeaderBytes;
    if (at + kSectionHeaderBytes > headSize) break;  // the table runs off the file
    const u8* header = head + at;
    // The name is compared as a NUL-terminated text of at most 8 bytes.
    char name[9] = {};
    std::memcpy(name, header, 8);
    if (std::strcmp(name, kArchiveSectionName) != 0) continue;
    layout.archiveIndex = static_cast<i32>(i);
    layout.virtualAddress = Le32(header + 12);
    layout.rawSize = Le32(header + 16);
    layout.rawPointer = Le32(header + 20);
    return layout.rawPointer == 0 ? kCorruptNoSectionPointer : 0;
  }
  return kNoArchive;
}

bool IsVersionTooNew(i32 builderVersion) { return builderVersion / 100.0 - 8.2 > 0.01; }

i32 ReadArchiveHeader(const u8* section, std::size_t available, ArchiveHeader& header) {
  Cursor cursor(section, available);
  header.magic = cursor.Next();
  if (header.magic != kArchiveMagic) return kCorruptMagic;
  header.builderVersion = static_cast<i32>(cursor.Next());
  if (IsVersionTooNew(header.builderVersion)) return kVersionTooNew;
  header.scriptSize = static_cast<i32>(cursor.Next());
  if (header.scriptSize < 1 || header.scriptSize > kMaxScriptSize) return kCorruptScriptSize;
  header.scriptKey = cursor.Next();
  header.stubChecksum = cursor.Next();
  header.archiveEnd = static_cast<i32>(cursor.Next());
  if (header.archiveEnd < 0) return kCorruptArchiveEnd;
  header.fileCount = static_cast<i32>(cursor.Next());
  if (header.fileCount < 0) return kCorruptFileCount;
  header.fileDataSize = static_cast<i32>(cursor.Next());
  if (header.fileDataSize < 0) return kCorruptFileDataSize;
  header.fileDataChecksum = cursor.Next();
  // A table longer than the section can only be damage to the table or its
  // count; say so without sizing anything by the count.
  if (cursor.Failed() || static_cast<u64>(header.fileCount) * 4 > cursor.Remaining()) return kCorruptFileSizeEntry;
  header.fileSizes.Reserve(header.fileCount);
  for (i32 i = 0; i < header.fileCount; ++i) {
    i32 size = static_cast<i32>(cursor.Next());
    if (size < 0 || size > kMaxFileSize) return kCorruptFileSizeEntry;
    header.fileSizes.Append(size);
  }
  return 0;
}

bool BuildUninstallerImage(const PeLayout& layout, core::ByteBuffer& image, const u8* tail, std::size_t tailSize) {
  if (tail && tailSize > 0) image.Append(tail, tailSize);
  u8* bytes = image.Data();
  std::size_t size = image.Size();
  u32 pe = layout.peOffset;
  if (layout.archiveIndex < 0 || pe + 84 > size) return false;

  PutLe16(bytes + pe + 6, layout.sectionCount - 1);
  PutLe32(bytes + pe + 32, Le32(bytes + pe + 32) - layout.rawSize);
  PutLe32(bytes + pe + 80, Le32(bytes + pe + 80) - layout.rawSize);

  // Close the gap: every slot from the archive's moves down by one; the last
  // copy brings up the (zero) bytes after the table.
  u32 n = layout.sectionCount;
  std::size_t tableEnd = layout.sectionTable + static_cast<std::size_t>(n + 1) * kSectionHeaderBytes;
  if (tableEnd + kSectionHeaderBytes > size) return false;
  for (u32 i = static_cast<u32>(layout.archiveIndex); i <= n; ++i) {
    u8* slot = bytes + layout.sectionTable + static_cast<std::size_t>(i) * kSectionHeaderBytes;
    std::memcpy(slot, slot + kSectionHeaderBytes, kSectionHeaderBytes);
    if (i + 1 < n) PutLe32(slot + 20, Le32(slot + 20) - layout.rawSize);
  }
  return true;
}

void ApplyIconPatch(core::ByteBuffer& image, i32 offset, const u8* patch) {
  if (offset <= 0 || !patch) return;
  if (static_cast<std::size_t>(offset) + kIconPatchBytes > image.Size()) return;
  std::memcpy(image.Data() + offset, patch, kIconPatchBytes);
}

}  // namespace kova::format
