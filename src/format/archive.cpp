// The archive section, its header and the uninstaller image; see archive.h.
#include "format/archive.h"

#include <cstring>

#include "format/byte_reader.h"
#include "format/corrupt_codes.h"
#include "format/install_script.h"
#include "format/pe_image.h"

namespace kova::format {
namespace {

// The stub's own limits on its headers: a stub that puts its PE header
// further out, or has fewer sections than it was built with, is damaged.
constexpr u32 kMinPeOffset = 64;
constexpr u32 kMaxPeOffset = 4096;
constexpr u32 kMinSectionCount = 4;
constexpr u32 kMaxSectionCount = 99;

}  // namespace

i32 LocateArchive(const u8* head, std::size_t headSize, PeLayout& layout) {
  // Only the low 16 bits of e_lfanew are read; no signature or magic is
  // checked, and the section table may run off the bytes present.
  if (headSize < kPeOffsetField + 2) return kCorruptPeOffset;
  layout.peOffset = LoadLe16(head + kPeOffsetField);
  if (layout.peOffset < kMinPeOffset || layout.peOffset > kMaxPeOffset) return kCorruptPeOffset;
  if (headSize < layout.peOffset + kPeSectionCountField + 2) return kCorruptSectionCount;
  layout.sectionCount = LoadLe16(head + layout.peOffset + kPeSectionCountField);
  if (layout.sectionCount < kMinSectionCount || layout.sectionCount > kMaxSectionCount) return kCorruptSectionCount;
  if (headSize < layout.peOffset + kPeOptionalSizeField + 2) return kNoArchive;
  layout.optionalHeaderSize = LoadLe16(head + layout.peOffset + kPeOptionalSizeField);
  layout.sectionTable = layout.peOffset + kPeFileHeaderBytes + layout.optionalHeaderSize;

  PeSectionTable table(head, headSize, layout.sectionTable, layout.sectionCount);
  i32 index = table.Find(kArchiveSectionName);
  if (index < 0) return kNoArchive;
  PeSection section = table.At(static_cast<u32>(index));
  layout.archiveIndex = index;
  layout.virtualAddress = section.virtualAddress;
  layout.rawSize = section.rawSize;
  layout.rawPointer = section.rawPointer;
  return layout.rawPointer == 0 ? kCorruptNoSectionPointer : 0;
}

bool IsVersionTooNew(i32 builderVersion) { return builderVersion / 100.0 - 8.2 > 0.01; }

i32 ReadArchiveHeader(const u8* section, std::size_t available, ArchiveHeader& header) {
  ByteReader cursor(section, available);
  header.magic = cursor.U32();
  if (header.magic != kArchiveMagic) return kCorruptMagic;
  header.builderVersion = static_cast<i32>(cursor.U32());
  if (IsVersionTooNew(header.builderVersion)) return kVersionTooNew;
  header.scriptSize = static_cast<i32>(cursor.U32());
  if (header.scriptSize < 1 || header.scriptSize > kMaxScriptSize) return kCorruptScriptSize;
  header.scriptKey = cursor.U32();
  header.stubChecksum = cursor.U32();
  header.archiveEnd = static_cast<i32>(cursor.U32());
  if (header.archiveEnd < 0) return kCorruptArchiveEnd;
  header.fileCount = static_cast<i32>(cursor.U32());
  if (header.fileCount < 0) return kCorruptFileCount;
  header.fileDataSize = static_cast<i32>(cursor.U32());
  if (header.fileDataSize < 0) return kCorruptFileDataSize;
  header.fileDataChecksum = cursor.U32();
  // A table longer than the section can only be damage to the table or its
  // count; say so without sizing anything by the count.
  if (cursor.Failed() || static_cast<u64>(header.fileCount) * 4 > cursor.Remaining()) return kCorruptFileSizeEntry;
  header.fileSizes.Reserve(header.fileCount);
  for (i32 i = 0; i < header.fileCount; ++i) {
    i32 size = static_cast<i32>(cursor.U32());
    if (size < 0 || size > kMaxFileSize) return kCorruptFileSizeEntry;
    header.fileSizes.Append(size);
  }
  return 0;
}

bool BuildUninstallerImage(const PeLayout& layout, core::ByteBuffer& image, const u8* tail, std::size_t tailSize) {
  if (tail && tailSize > 0) image.Append(tail, tailSize);
  u8* bytes = image.Data();
  std::size_t size = image.Size();
  u32 optional = layout.peOffset + kPeFileHeaderBytes;
  if (layout.archiveIndex < 0 || optional + kOptionalSizeOfImage + 4 > size) return false;

  StoreLe16(bytes + layout.peOffset + kPeSectionCountField, layout.sectionCount - 1);
  u8* initializedData = bytes + optional + kOptionalSizeOfInitializedData;
  StoreLe32(initializedData, LoadLe32(initializedData) - layout.rawSize);
  u8* imageSize = bytes + optional + kOptionalSizeOfImage;
  StoreLe32(imageSize, LoadLe32(imageSize) - layout.rawSize);

  // Close the gap: every slot from the archive's moves down by one; the last
  // copy brings up the (zero) bytes after the table.
  u32 n = layout.sectionCount;
  std::size_t tableEnd = layout.sectionTable + static_cast<std::size_t>(n + 1) * kSectionHeaderBytes;
  if (tableEnd + kSectionHeaderBytes > size) return false;
  for (u32 i = static_cast<u32>(layout.archiveIndex); i <= n; ++i) {
    u8* slot = bytes + layout.sectionTable + static_cast<std::size_t>(i) * kSectionHeaderBytes;
    std::memcpy(slot, slot + kSectionHeaderBytes, kSectionHeaderBytes);
    u8* rawPointer = slot + kSectionRawPointerField;
    if (i + 1 < n) StoreLe32(rawPointer, LoadLe32(rawPointer) - layout.rawSize);
  }
  return true;
}

void ApplyIconPatch(core::ByteBuffer& image, i32 offset, const u8* patch) {
  if (offset <= 0 || !patch) return;
  if (static_cast<std::size_t>(offset) + kIconPatchBytes > image.Size()) return;
  std::memcpy(image.Data() + offset, patch, kIconPatchBytes);
}

}  // namespace kova::format
