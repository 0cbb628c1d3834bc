// The headers of a PE file; see pe_image.h.
#include "format/pe_image.h"

#include <cstring>

#include "format/byte_reader.h"

namespace kova::format {
namespace {

// Where the data directories start in the optional header: PE32+ widens
// the image base and the stack and heap sizes to 64 bits.
constexpr u32 kPe32DataDirectories = 96;
constexpr u32 kPe32PlusDataDirectories = 112;
constexpr u32 kDataDirectoryBytes = 8;
// The optional-header fields read here end with SizeOfHeaders.
constexpr u32 kOptionalFieldsEnd = kOptionalSizeOfHeaders + 4;

}  // namespace

u32 PeSectionTable::PresentCount() const {
  if (offset_ >= size_) return 0;
  std::size_t room = (size_ - offset_) / kSectionHeaderBytes;
  return room < count_ ? static_cast<u32>(room) : count_;
}

PeSection PeSectionTable::At(u32 index) const {
  const u8* header = Header(index);
  PeSection section;
  std::memcpy(section.name, header, 8);
  section.virtualSize = LoadLe32(header + kSectionVirtualSizeField);
  section.virtualAddress = LoadLe32(header + kSectionVirtualAddressField);
  section.rawSize = LoadLe32(header + kSectionRawSizeField);
  section.rawPointer = LoadLe32(header + kSectionRawPointerField);
  section.characteristics = LoadLe32(header + kSectionCharacteristicsField);
  return section;
}

i32 PeSectionTable::Find(const char* name) const {
  u32 present = PresentCount();
  for (u32 i = 0; i < present; ++i) {
    // Up to the NUL of the shorter, or all 8 bytes: a name of 8 bytes has no
    // NUL of its own.
    if (std::strncmp(reinterpret_cast<const char*>(Header(i)), name, 8) == 0) return static_cast<i32>(i);
  }
  return -1;
}

bool PeSectionTable::MapRva(u32 rva, u32 size, u64& offset, u32& available) const {
  u32 present = PresentCount();
  for (u32 i = 0; i < present; ++i) {
    const u8* header = Header(i);
    u32 virtualAddress = LoadLe32(header + kSectionVirtualAddressField);
    u32 rawSize = LoadLe32(header + kSectionRawSizeField);
    if (rva < virtualAddress) continue;
    u32 into = rva - virtualAddress;
    if (into > rawSize || size > rawSize - into) continue;
    offset = static_cast<u64>(LoadLe32(header + kSectionRawPointerField)) + into;
    available = rawSize - into;
    return true;
  }
  return false;
}

bool PeHeaders::DataDirectory(u32 index, u32& rva, u32& size) const {
  if (index >= dataDirectoryCount) return false;
  const u8* entry = nt + dataDirectories + static_cast<std::size_t>(index) * kDataDirectoryBytes;
  rva = LoadLe32(entry);
  size = LoadLe32(entry + 4);
  return true;
}

bool ReadPeOffset(const u8* bytes, std::size_t size, u32& peOffset) {
  if (!bytes || size < kDosHeaderBytes || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  peOffset = LoadLe32(bytes + kPeOffsetField);
  return true;
}

PeError ReadPeHeaders(const u8* nt, std::size_t size, PeHeaders& headers) {
  headers = PeHeaders();
  headers.nt = nt;
  headers.ntSize = nt ? size : 0;
  if (headers.ntSize < kPeFileHeaderBytes || LoadLe32(nt) != kPeSignature) return PeError::kNoSignature;
  headers.machine = LoadLe16(nt + kPeMachineField);
  headers.sectionCount = LoadLe16(nt + kPeSectionCountField);
  headers.optionalHeaderSize = LoadLe16(nt + kPeOptionalSizeField);
  if (size - kPeFileHeaderBytes < headers.optionalHeaderSize || headers.optionalHeaderSize < 2)
    return PeError::kOptionalHeaderCut;

  const u8* optional = nt + kPeFileHeaderBytes;
  u32 optionalSize = headers.optionalHeaderSize;
  headers.magic = LoadLe16(optional);
  if (headers.magic != kPe32Magic && headers.magic != kPe32PlusMagic) return PeError::kUnknownMagic;
  if (optionalSize >= kOptionalFieldsEnd) {
    headers.sizeOfInitializedData = LoadLe32(optional + kOptionalSizeOfInitializedData);
    headers.sectionAlignment = LoadLe32(optional + kOptionalSectionAlignment);
    headers.fileAlignment = LoadLe32(optional + kOptionalFileAlignment);
    headers.sizeOfImage = LoadLe32(optional + kOptionalSizeOfImage);
    headers.sizeOfHeaders = LoadLe32(optional + kOptionalSizeOfHeaders);
  }
  // The count (NumberOfRvaAndSizes) sits just before the first entry.
  u32 directories = headers.IsPe32Plus() ? kPe32PlusDataDirectories : kPe32DataDirectories;
  if (optionalSize >= directories) {
    u32 declared = LoadLe32(optional + directories - 4);
    u32 room = (optionalSize - directories) / kDataDirectoryBytes;
    headers.dataDirectoryCount = declared < room ? declared : room;
    headers.dataDirectories = kPeFileHeaderBytes + directories;
  }

  std::size_t table = headers.SectionTableOffset();
  headers.sections = PeSectionTable(nt, size, table, headers.sectionCount);
  if (!headers.sections.IsWhole()) return PeError::kSectionTableCut;
  return PeError::kNone;
}

std::size_t PeHeadersSize(const u8* fileHeader) {
  return kPeFileHeaderBytes + static_cast<std::size_t>(LoadLe16(fileHeader + kPeOptionalSizeField)) +
         static_cast<std::size_t>(LoadLe16(fileHeader + kPeSectionCountField)) * kSectionHeaderBytes;
}

}  // namespace kova::format
