// PE reading, the icon search and the section appender; see pe_file.h.
#include "builder/pe_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kova::builder {
namespace {

constexpr u32 kSectionHeaderBytes = 40;
constexpr u32 kResourceDirectory = 2;
constexpr u32 kResourceTypeIcon = 3;

u32 Le16(std::span<const u8> b, std::size_t at) { return static_cast<u32>(b[at]) | static_cast<u32>(b[at + 1]) << 8; }
u32 Le32(std::span<const u8> b, std::size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }
void PutLe16(std::vector<u8>& b, std::size_t at, u32 v) {
  b[at] = static_cast<u8>(v);
  b[at + 1] = static_cast<u8>(v >> 8);
}
void PutLe32(std::vector<u8>& b, std::size_t at, u32 v) {
  PutLe16(b, at, v);
  PutLe16(b, at + 2, v >> 16);
}

bool Fits(std::span<const u8> file, u64 at, u64 n) { return at <= file.size() && n <= file.size() - at; }

u64 AlignUp(u64 value, u64 alignment) { return (value + alignment - 1) / alignment * alignment; }

bool IsPowerOfTwo(u32 v) { return v != 0 && (v & (v - 1)) == 0; }

std::string Hex(u32 v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", v);
  return buffer;
}

// The file offset of the bytes [rva, rva + size) when a section's raw data
// holds all of them.
bool RvaToOffset(const PeImage& pe, u32 rva, u32 size, u32& offset) {
  for (const PeSection& s : pe.sections) {
    if (rva < s.virtualAddress) continue;
    u64 within = rva - s.virtualAddress;
    if (within + size > s.rawSize) continue;
    offset = static_cast<u32>(s.rawPointer + within);
    return true;
  }
  return false;
}

// Walks the resource tree below the directory at dirOffset (relative to the
// resource section's start); level 0 is the type level.
class ResourceWalker {
 public:
  ResourceWalker(std::span<const u8> file, const PeImage& pe, u32 base, u32 size, std::vector<IconImage>& icons)
      : file_(file), pe_(pe), base_(base), size_(size), icons_(icons) {}

  bool Walk(u32 dirOffset, int level, std::string& error) {
    // A well-formed tree has three levels; a loop or a deeper tree is damage.
    if (level > 2 || ++visited_ > 4096) return Bad(error, "the resource directory is malformed");
    if (dirOffset > size_ || size_ - dirOffset < 16) return Bad(error, "a resource directory lies outside its section");
    u32 at = base_ + dirOffset;
    u32 count = Le16(file_, at + 12) + Le16(file_, at + 14);
    if ((size_ - dirOffset - 16) / 8 < count) return Bad(error, "a resource directory's entries run past its section");
    for (u32 i = 0; i < count; ++i) {
      u32 entry = at + 16 + i * 8;
      u32 id = Le32(file_, entry);
      u32 target = Le32(file_, entry + 4);
      bool isDirectory = (target & 0x80000000u) != 0;
      target &= 0x7FFFFFFFu;
      if (level == 0) {
        // Only icon images matter; named types are never RT_ICON.
        if ((id & 0x80000000u) || id != kResourceTypeIcon) continue;
        if (!isDirectory) return Bad(error, "the icon resource type is not a directory");
      }
      if (isDirectory) {
        if (!Walk(target, level + 1, error)) return false;
      } else {
        if (target > size_ || size_ - target < 16) return Bad(error, "a resource data entry lies outside its section");
        u32 rva = Le32(file_, base_ + target);
        u32 dataSize = Le32(file_, base_ + target + 4);
        IconImage icon;
        if (!RvaToOffset(pe_, rva, dataSize, icon.fileOffset))
          return Bad(error, "an icon image lies outside the file's sections");
        icon.size = dataSize;
        icons_.push_back(icon);
      }
    }
    return true;
  }

 private:
  static bool Bad(std::string& error, const char* what) {
    error = what;
    return false;
  }
  std::span<const u8> file_;
  const PeImage& pe_;
  u32 base_;
  u32 size_;
  std::vector<IconImage>& icons_;
  int visited_ = 0;
};

}  // namespace

bool ParsePe(std::span<const u8> file, PeImage& pe, std::string& error) {
  pe = PeImage{};
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') {
    error = "not a Windows program (no MZ header)";
    return false;
  }
  pe.peOffset = Le32(file, 60);
  if (!Fits(file, pe.peOffset, 24) || Le32(file, pe.peOffset) != 0x00004550) {
    error = "not a PE file (no PE signature at e_lfanew)";
    return false;
  }
  pe.machine = static_cast<u16>(Le16(file, pe.peOffset + 4));
  u32 sectionCount = Le16(file, pe.peOffset + 6);
  pe.optionalHeaderSize = Le16(file, pe.peOffset + 20);
  pe.optionalHeader = pe.peOffset + 24;
  if (pe.optionalHeaderSize < 96 || !Fits(file, pe.optionalHeader, pe.optionalHeaderSize)) {
    error = "the optional header is missing or cut short";
    return false;
  }
  u32 magic = Le16(file, pe.optionalHeader);
  if (magic != 0x10B && magic != 0x20B) {
    error = "unknown optional header magic " + Hex(magic);
    return false;
  }
  pe.pe32Plus = magic == 0x20B;
  u32 oh = pe.optionalHeader;
  pe.sizeOfInitializedData = Le32(file, oh + 8);
  pe.sectionAlignment = Le32(file, oh + 32);
  pe.fileAlignment = Le32(file, oh + 36);
  pe.sizeOfImage = Le32(file, oh + 56);
  pe.sizeOfHeaders = Le32(file, oh + 60);
  u32 directoriesAt = pe.pe32Plus ? 112 : 96;
  if (pe.optionalHeaderSize >= directoriesAt) {
    pe.dataDirectoryCount = Le32(file, oh + directoriesAt - 4);
    pe.dataDirectories = oh + directoriesAt;
    u32 room = (pe.optionalHeaderSize - directoriesAt) / 8;
    if (pe.dataDirectoryCount > room) pe.dataDirectoryCount = room;
  }
  if (!IsPowerOfTwo(pe.sectionAlignment) || !IsPowerOfTwo(pe.fileAlignment)) {
    error = "the section or file alignment is not a power of two";
    return false;
  }
  pe.sectionTable = oh + pe.optionalHeaderSize;
  if (!Fits(file, pe.sectionTable, static_cast<u64>(sectionCount) * kSectionHeaderBytes)) {
    error = "the section table runs past the end of the file";
    return false;
  }
  for (u32 i = 0; i < sectionCount; ++i) {
    u32 at = pe.sectionTable + i * kSectionHeaderBytes;
    PeSection s;
    char name[9] = {};
    std::memcpy(name, file.data() + at, 8);
    s.name = name;
    s.virtualSize = Le32(file, at + 8);
    s.virtualAddress = Le32(file, at + 12);
    s.rawSize = Le32(file, at + 16);
    s.rawPointer = Le32(file, at + 20);
    s.characteristics = Le32(file, at + 36);
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
  if (pe.dataDirectoryCount <= kResourceDirectory) return true;
  u32 rva = Le32(file, pe.dataDirectories + kResourceDirectory * 8);
  u32 size = Le32(file, pe.dataDirectories + kResourceDirectory * 8 + 4);
  if (rva == 0 || size == 0) return true;
  u32 base;
  if (!RvaToOffset(pe, rva, 16, base)) {
    error = "the resource directory lies outside the file's sections";
    return false;
  }
  // The tree may only be read within the raw data of its section.
  u32 available = 0;
  for (const PeSection& s : pe.sections) {
    if (base >= s.rawPointer && base - s.rawPointer < s.rawSize) available = s.rawPointer + s.rawSize - base;
  }
  ResourceWalker walker(file, pe, base, std::min(size, available), icons);
  return walker.Walk(0, 0, error);
}

u32 ArchiveSectionAlignment(const PeImage& pe) { return std::max(pe.fileAlignment, pe.sectionAlignment); }

bool AppendSection(std::vector<u8>& file, const char* name, std::span<const u8> contents, u32 characteristics,
                   AppendedSection& placed, std::string& error) {
  PeImage pe;
  if (!ParsePe(file, pe, error)) return false;
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
  std::vector<u8> fields(header, header + kSectionHeaderBytes);
  PutLe32(fields, 8, static_cast<u32>(size));
  PutLe32(fields, 12, static_cast<u32>(virtualEnd));
  PutLe32(fields, 16, static_cast<u32>(size));
  PutLe32(fields, 20, static_cast<u32>(rawPointer));
  PutLe32(fields, 36, characteristics);
  std::copy(fields.begin(), fields.end(), file.begin() + static_cast<std::ptrdiff_t>(slot));

  PutLe16(file, pe.peOffset + 6, static_cast<u32>(pe.sections.size() + 1));
  PutLe32(file, pe.optionalHeader + 8, pe.sizeOfInitializedData + static_cast<u32>(size));
  PutLe32(file, pe.optionalHeader + 56, static_cast<u32>(virtualEnd + size));
  PutLe32(file, pe.optionalHeader + 64, 0);

  file.resize(static_cast<std::size_t>(rawPointer), 0);
  file.insert(file.end(), contents.begin(), contents.end());
  file.resize(static_cast<std::size_t>(rawPointer + size), 0);
  placed.rawPointer = static_cast<u32>(rawPointer);
  placed.size = static_cast<u32>(size);
  placed.virtualAddress = static_cast<u32>(virtualEnd);
  return true;
}

}  // namespace kova::builder
