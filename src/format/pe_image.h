// The headers of a PE file: e_lfanew in the DOS header, the file header
// (machine, section count, optional header size), the optional header (its
// magic, the sizes and alignments, the data directories), the section table,
// and where a relative virtual address lies in the file. Everything is read
// from bytes the caller already holds and checked against their end, so the
// stub's search for its archive section, the builder and the sandbox's
// version resources share one reading of the format while each fetches the
// bytes its own way. The resource tree is read by pe_resources.h.
#pragma once

#include "core/types.h"

namespace kova::format {

inline constexpr u32 kDosHeaderBytes = 64;
inline constexpr u32 kPeOffsetField = 60;  // e_lfanew
inline constexpr u32 kPeSignature = 0x00004550;  // "PE\0\0"

// Offsets from the signature: the file header's fields, then the optional
// header.
inline constexpr u32 kPeMachineField = 4;
inline constexpr u32 kPeSectionCountField = 6;
inline constexpr u32 kPeOptionalSizeField = 20;
inline constexpr u32 kPeFileHeaderBytes = 24;  // signature and file header

// Offsets in the optional header; these fields lie at the same places in
// PE32 and PE32+.
inline constexpr u32 kOptionalSizeOfInitializedData = 8;
inline constexpr u32 kOptionalSectionAlignment = 32;
inline constexpr u32 kOptionalFileAlignment = 36;
inline constexpr u32 kOptionalSizeOfImage = 56;
inline constexpr u32 kOptionalSizeOfHeaders = 60;
inline constexpr u32 kOptionalCheckSum = 64;
inline constexpr u32 kPe32Magic = 0x10B;
inline constexpr u32 kPe32PlusMagic = 0x20B;
inline constexpr u32 kDataDirectoryResources = 2;

// A section header: 40 bytes, the fields at these offsets.
inline constexpr u32 kSectionHeaderBytes = 40;
inline constexpr u32 kSectionVirtualSizeField = 8;
inline constexpr u32 kSectionVirtualAddressField = 12;
inline constexpr u32 kSectionRawSizeField = 16;
inline constexpr u32 kSectionRawPointerField = 20;
inline constexpr u32 kSectionCharacteristicsField = 36;

struct PeSection {
  char name[9] = {};  // the 8 name bytes as a NUL-terminated text
  u32 virtualSize = 0;
  u32 virtualAddress = 0;
  u32 rawSize = 0;        // SizeOfRawData
  u32 rawPointer = 0;     // PointerToRawData
  u32 characteristics = 0;
};

// The section table within the bytes present. A table may run past them (a
// file cut short, or only the head of a file read): the headers that lie
// wholly inside are there, the rest are not.
class PeSectionTable {
 public:
  PeSectionTable() = default;
  // count headers starting at offset in the size bytes at bytes.
  PeSectionTable(const u8* bytes, std::size_t size, std::size_t offset, u32 count)
      : bytes_(bytes), size_(bytes ? size : 0), offset_(offset), count_(count) {}

  // The number of headers the file header declares.
  u32 Count() const { return count_; }
  // The number of them that lie wholly within the bytes.
  u32 PresentCount() const;
  bool IsWhole() const { return PresentCount() == count_; }

  // Header index, which must be below PresentCount().
  PeSection At(u32 index) const;

  // The index of the first header present whose name, taken as a
  // NUL-terminated text of at most 8 bytes, equals name (of at most 8
  // characters) exactly; -1 when there is none.
  i32 Find(const char* name) const;

  // Where [rva, rva + size) lies in the file: in the first section whose raw
  // data holds all of it. offset is its file offset, available the bytes of
  // that section's raw data from there on. False when no section holds it.
  bool MapRva(u32 rva, u32 size, u64& offset, u32& available) const;

 private:
  const u8* Header(u32 index) const { return bytes_ + offset_ + static_cast<std::size_t>(index) * kSectionHeaderBytes; }

  const u8* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::size_t offset_ = 0;
  u32 count_ = 0;
};

// What ReadPeHeaders found wrong, in the order it checks.
enum class PeError : u8 {
  kNone,
  kNoSignature,        // fewer than 24 bytes, or no "PE\0\0"
  kOptionalHeaderCut,  // the optional header runs past the bytes or cannot hold its magic
  kUnknownMagic,       // neither PE32 nor PE32+
  kSectionTableCut,    // the section table runs past the bytes
};

struct PeHeaders {
  u32 machine = 0;
  u32 sectionCount = 0;
  u32 optionalHeaderSize = 0;
  u32 magic = 0;
  // Fields of the optional header; 0 when it is too short to hold them.
  u32 sizeOfInitializedData = 0;
  u32 sectionAlignment = 0;
  u32 fileAlignment = 0;
  u32 sizeOfImage = 0;
  u32 sizeOfHeaders = 0;
  // The declared number of data directories, cut to the entries the
  // optional header has room for.
  u32 dataDirectoryCount = 0;
  u32 dataDirectories = 0;  // offset of the first entry from the signature
  PeSectionTable sections;

  bool IsPe32Plus() const { return magic == kPe32PlusMagic; }
  // Offsets from the signature.
  static constexpr u32 OptionalHeaderOffset() { return kPeFileHeaderBytes; }
  u32 SectionTableOffset() const { return kPeFileHeaderBytes + optionalHeaderSize; }
  // Entry index of the data directories; false when the header has none.
  bool DataDirectory(u32 index, u32& rva, u32& size) const;

  const u8* nt = nullptr;  // the bytes from the signature on
  std::size_t ntSize = 0;
};

// e_lfanew from the DOS header: false when the 64 bytes of the header are not
// all there or do not start with "MZ".
bool ReadPeOffset(const u8* bytes, std::size_t size, u32& peOffset);

// Reads the headers that start at the signature: nt holds size bytes from
// e_lfanew on. The fields are read in file order and those read before a
// problem keep their values, so a caller can tell a short optional header
// from an unknown magic, or look at the section count before fetching the
// table. headers refers to nt afterwards.
PeError ReadPeHeaders(const u8* nt, std::size_t size, PeHeaders& headers);

// The bytes from the signature to the end of the section table, from the 24
// bytes of the signature and file header: for readers that fetch the
// headers piecewise.
std::size_t PeHeadersSize(const u8* fileHeader);

}  // namespace kova::format
