// The installation archive inside the program's own file: where the `.kova`
// section is (from the PE headers), what its header says, and how the
// uninstaller image is made from the file without that section. The
// functions work on bytes already read, so the stub (which reads its own
// file) and the host tools (which read any installer) share them.
#pragma once

#include "core/array.h"
#include "core/byte_buffer.h"
#include "core/types.h"
#include "format/pe_image.h"

namespace kova::format {

inline constexpr u32 kArchiveMagic = 0xA4F23DE5u;
inline constexpr i32 kBuilderVersion = 820;  // version x 100
inline constexpr i32 kMaxScriptSize = 0x9FFFFF;
inline constexpr i32 kMaxFileSize = 0x40000000;
inline constexpr char kArchiveSectionName[] = ".kova";

// Every PE field the archive needs lies within this many bytes of the start:
// e_lfanew is at most 4096, the optional header at most 0xFFFF bytes, and at
// most 99 section headers follow.
inline constexpr i32 kPeHeadBytes = 4096 + kPeFileHeaderBytes + 0xFFFF + 100 * kSectionHeaderBytes;

struct PeLayout {
  u32 peOffset = 0;            // e_lfanew (its low 16 bits)
  u32 sectionCount = 0;        // NumberOfSections
  u32 optionalHeaderSize = 0;  // SizeOfOptionalHeader
  u32 sectionTable = 0;        // file offset of the first section header
  i32 archiveIndex = -1;       // index of the `.kova` header, -1 when none
  u32 virtualAddress = 0;      // of the `.kova` section
  u32 rawSize = 0;             // SizeOfRawData
  u32 rawPointer = 0;          // PointerToRawData
};

// Result of LocateArchive beyond the corrupt codes: the file holds no archive.
inline constexpr i32 kNoArchive = -1;

// Walks the PE headers in head (the first bytes of the file, up to
// kPeHeadBytes of them) to the `.kova` section. Returns 0, kNoArchive, or the
// corrupt code (43, 44, 9).
i32 LocateArchive(const u8* head, std::size_t headSize, PeLayout& layout);

struct ArchiveHeader {
  u32 magic = 0;
  i32 builderVersion = 0;
  i32 scriptSize = 0;
  u32 scriptKey = 0;
  u32 stubChecksum = 0;
  i32 archiveEnd = 0;      // from the section start: end of the archive bytes in this file
  i32 fileCount = 0;
  i32 fileDataSize = 0;
  u32 fileDataChecksum = 0;
  core::Array<i32> fileSizes;

  // Offset of the script block from the section start.
  i64 ScriptOffset() const { return 36 + 4 * static_cast<i64>(fileCount); }
  // Offset of the file data stream from the section start.
  i64 FileDataOffset() const { return ScriptOffset() + scriptSize; }
};

// Result of ReadArchiveHeader beyond the corrupt codes: the builder version is
// newer than this program (the caller shows the version message).
inline constexpr i32 kVersionTooNew = -2;

// Reads the header fields from the section bytes, checking each in order.
// Returns 0, kVersionTooNew or the corrupt code (20, 22, 27, 28, 29, 45). A
// file-size table longer than the bytes present is reported as the damage it
// is (28) before anything is allocated for it.
i32 ReadArchiveHeader(const u8* section, std::size_t available, ArchiveHeader& header);

// The builder version text check: version / 100 - 8.2 > 0.01.
bool IsVersionTooNew(i32 builderVersion);

// Builds the uninstaller image: the file's bytes before the section
// (stubBytes, already checksummed by the caller) and after it (tail), with
// the section removed from the headers. Returns false when the PE fields do
// not fit the bytes.
bool BuildUninstallerImage(const PeLayout& layout, core::ByteBuffer& image, const u8* tail, std::size_t tailSize);

// Copies an icon patch of kIconPatchBytes into the image at offset when it
// fits; otherwise leaves the image unchanged.
void ApplyIconPatch(core::ByteBuffer& image, i32 offset, const u8* patch);

}  // namespace kova::format
