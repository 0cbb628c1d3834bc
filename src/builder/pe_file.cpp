// PE reading, the icon search and the section appender; see pe_file.h.
#include "builder/pe_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "format/byte_reader.h"
#include "format/pe_image.h"
#include "format/pe_resources.h"

namespace kova::builder {
namespace {

using format::kSectionHeaderBytes;
using format::LoadLe32;
using format::StoreLe16;
using format::StoreLe32;

bool Fits(std::span<const u8> file, u64 at, u64 n) { return at <= file.size() && n <= file.size() - at; }

u64 AlignUp(u64 value, u64 alignment) { return (value + alignment - 1) / alignment * alignment; }

constexpr u32 kMaxStubAlignment = 0x10000;

bool IsPowerOfTwo(u32 v) { return v != 0 && (v & (v - 1)) == 0; }

std::string Hex(u32 v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", v);
  return buffer;
}

// The stub's headers again, for the section table's mapping of RVAs: ParsePe
// has already checked them.
format::PeSectionTable SectionTable(std::span<const u8> file, const PeImage& pe) {
  return format::PeSectionTable(file.data(), file.size(), pe.sectionTable, static_cast<u32>(pe.sections.size()));
}

const char* ResourceErrorText(format::PeResourceError error) {
  switch (error) {
    case format::PeResourceError::kDirectoryOutside:
      return "a resource directory lies outside its section";
    case format::PeResourceError::kEntriesOutside:
      return "a resource directory's entries run past its section";
    case format::PeResourceError::kTypeNotDirectory:
      return "the icon resource type is not a directory";
    case format::PeResourceError::kDataOutside:
      return "a resource data entry lies outside its section";
    default:
      return "the resource directory is malformed";
  }
}

// Collects the icon images the resource walk meets, in directory order.
struct IconCollector {
  format::PeSectionTable sections;
  std::vector<IconImage>& icons;
  bool outside = false;

  static bool Visit(void* context, const format::PeResourceData& data) {
    auto& self = *static_cast<IconCollector*>(context);
    u64 offset = 0;
    u32 available = 0;
    if (!self.sections.MapRva(data.rva, data.size, offset, available)) {
      self.outside = true;
      return false;
    }
    self.icons.push_back(IconImage{static_cast<u32>(offset), data.size});
    return true;
  }
};

}  // namespace

bool ParsePe(std::span<const u8> file, PeImage& pe, std::string& error) {
  pe = PeImage{};
  if (!format::ReadPeOffset(file.data(), file.size(), pe.peOffset)) {
    error = "not a Windows program (no MZ header)";
    return false;
  }
  format::PeHeaders headers;
  format::PeError problem = format::PeError::kNoSignature;
  if (pe.peOffset <= file.size())
    problem = format::ReadPeHeaders(file.data() + pe.peOffset, file.size() - pe.peOffset, headers);
  if (problem == format::PeError::kNoSignature) {
    error = "not a PE file (no PE signature at e_lfanew)";
    return false;
  }
  pe.machine = static_cast<u16>(headers.machine);
  pe.optionalHeaderSize = headers.optionalHeaderSize;
  pe.optionalHeader = pe.peOffset + format::PeHeaders::OptionalHeaderOffset();
  // The fields up to the data directories' count must be there.
  if (problem == format::PeError::kOptionalHeaderCut || pe.optionalHeaderSize < 96) {
    error = "the optional header is missing or cut short";
    return false;
  }
  if (problem == format::PeError::kUnknownMagic) {
    error = "unknown optional header magic " + Hex(headers.magic);
    return false;
  }
  pe.pe32Plus = headers.IsPe32Plus();
  pe.sizeOfInitializedData = headers.sizeOfInitializedData;
  pe.sectionAlignment = headers.sectionAlignment;
  pe.fileAlignment = headers.fileAlignment;
  pe.sizeOfImage = headers.sizeOfImage;
  pe.sizeOfHeaders = headers.sizeOfHeaders;
  pe.dataDirectoryCount = headers.dataDirectoryCount;
  if (headers.dataDirectories != 0) pe.dataDirectories = pe.peOffset + headers.dataDirectories;
  if (!IsPowerOfTwo(pe.sectionAlignment) || !IsPowerOfTwo(pe.fileAlignment)) {
    error = "the section or file alignment is not a power of two";
    return false;
  }
  pe.sectionTable = pe.peOffset + headers.SectionTableOffset();
  if (problem == format::PeError::kSectionTableCut) {
    error = "the section table runs past the end of the file";
    return false;
  }
  for (u32 i = 0; i < headers.sections.Count(); ++i) {
    format::PeSection header = headers.sections.At(i);
    PeSection s;
    s.name = header.name;
    s.virtualSize = header.virtualSize;
    s.virtualAddress = header.virtualAddress;
    s.rawSize = header.rawSize;
    s.rawPointer = header.rawPointer;
    s.characteristics = header.characteristics;
    if (s.rawSize > 0 && !Fits(file, s.rawPointer, s.rawSize)) {
      error = "the raw data of section '" + s.name + "' runs past the end of the file";
      return false;
    }
    pe.sections.push_back(s);
  }
  return true;
}

bool FindIconImages(std::span<const u8> file, const PeImage& pe, std::vector<IconImage>& icons, std::string& error) {
  icons.clear();
  if (pe.dataDirectoryCount <= format::kDataDirectoryResources) return true;
  const u8* entry = file.data() + pe.dataDirectories + format::kDataDirectoryResources * 8;
  u32 rva = LoadLe32(entry);
  u32 size = LoadLe32(entry + 4);
  if (rva == 0 || size == 0) return true;
  format::PeSectionTable sections = SectionTable(file, pe);
  u64 base = 0;
  u32 available = 0;
  if (!sections.MapRva(rva, 16, base, available)) {
    error = "the resource directory lies outside the file's sections";
    return false;
  }
  // The tree may only be read within the raw data of its section.
  format::PeResourceTree tree(file.data() + base, std::min(size, available));
  IconCollector collector{sections, icons};
  format::PeResourceError result = tree.ForEachData(format::kResourceTypeIcon, IconCollector::Visit, &collector);
  if (collector.outside) {
    error = "an icon image lies outside the file's sections";
    return false;
  }
  if (result != format::PeResourceError::kNone) {
    error = ResourceErrorText(result);
    return false;
  }
  return true;
}

u32 ArchiveSectionAlignment(const PeImage& pe) { return std::max(pe.fileAlignment, pe.sectionAlignment); }

bool AppendSection(std::vector<u8>& file, const char* name, std::span<const u8> contents, u32 characteristics,
                   AppendedSection& placed, std::string& error) {
  PeImage pe;
  if (!ParsePe(file, pe, error)) return false;
  // The section is padded to the larger alignment: one of a real stub is a
  // few kilobytes, one of a gigabyte would only make a gigabyte of zeros.
  if (ArchiveSectionAlignment(pe) > kMaxStubAlignment) {
    error = "the stub's section or file alignment (" + Hex(ArchiveSectionAlignment(pe)) + ") is larger than 64 KiB";
    return false;
  }
  u64 slot = pe.sectionTable + static_cast<u64>(pe.sections.size()) * kSectionHeaderBytes;
  // The new header and the slot after it must be free header space.
  if (slot + 2 * kSectionHeaderBytes > pe.sizeOfHeaders || !Fits(file, slot, 2 * kSectionHeaderBytes)) {
    error = "the stub's headers have no room for another section header";
    return false;
  }
  for (u64 i = slot; i < slot + 2 * kSectionHeaderBytes; ++i) {
    if (file[i] != 0) {
      error = "the bytes after the stub's section table are in use (at file offset " + Hex(static_cast<u32>(i)) + ")";
      return false;
    }
  }
  for (const PeSection& s : pe.sections) {
    if (s.rawSize > 0 && s.rawPointer < slot + 2 * kSectionHeaderBytes) {
      error = "section '" + s.name + "' starts inside the headers";
      return false;
    }
  }
  u64 virtualEnd = AlignUp(pe.sizeOfImage, pe.sectionAlignment);
  for (const PeSection& s : pe.sections) {
    u64 end = AlignUp(static_cast<u64>(s.virtualAddress) + std::max(s.virtualSize, s.rawSize), pe.sectionAlignment);
    virtualEnd = std::max(virtualEnd, end);
  }
  u64 rawPointer = AlignUp(file.size(), pe.fileAlignment);
  u64 size = AlignUp(std::max<u64>(contents.size(), 1), ArchiveSectionAlignment(pe));
  if (rawPointer + size > 0xFFFFFFFFu || virtualEnd + size > 0x7FFFFFFFu) {
    error = "the installer would be larger than a PE file can be";
    return false;
  }

  u8 header[kSectionHeaderBytes] = {};
  std::strncpy(reinterpret_cast<char*>(header), name, 8);
  StoreLe32(header + format::kSectionVirtualSizeField, static_cast<u32>(size));
  StoreLe32(header + format::kSectionVirtualAddressField, static_cast<u32>(virtualEnd));
  StoreLe32(header + format::kSectionRawSizeField, static_cast<u32>(size));
  StoreLe32(header + format::kSectionRawPointerField, static_cast<u32>(rawPointer));
  StoreLe32(header + format::kSectionCharacteristicsField, characteristics);
  std::copy(header, header + kSectionHeaderBytes, file.begin() + static_cast<std::ptrdiff_t>(slot));

  u8* bytes = file.data();
  StoreLe16(bytes + pe.peOffset + format::kPeSectionCountField, static_cast<u32>(pe.sections.size() + 1));
  StoreLe32(bytes + pe.optionalHeader + format::kOptionalSizeOfInitializedData,
            pe.sizeOfInitializedData + static_cast<u32>(size));
  StoreLe32(bytes + pe.optionalHeader + format::kOptionalSizeOfImage, static_cast<u32>(virtualEnd + size));
  StoreLe32(bytes + pe.optionalHeader + format::kOptionalCheckSum, 0);

  file.resize(static_cast<std::size_t>(rawPointer), 0);
  file.insert(file.end(), contents.begin(), contents.end());
  file.resize(static_cast<std::size_t>(rawPointer + size), 0);
  placed.rawPointer = static_cast<u32>(rawPointer);
  placed.size = static_cast<u32>(size);
  placed.virtualAddress = static_cast<u32>(virtualEnd);
  return true;
}

}  // namespace kova::builder
