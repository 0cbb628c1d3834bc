// The stub as the builder sees and edits it, for the two things it does to
// it: find the stub's icon image through the resource directory (the
// uninstaller icon patch overwrites it in place), and append the archive as
// a last section. Works on PE32 and PE32+ alike. The headers and the
// resource tree are read with format/'s PE walker, which checks every read
// against the file's bytes; a stub that does not fit these expectations is
// refused with a reason rather than patched blindly.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/types.h"

namespace kova::builder {

struct PeSection {
  std::string name;  // up to 8 characters
  u32 virtualSize = 0;
  u32 virtualAddress = 0;
  u32 rawSize = 0;
  u32 rawPointer = 0;
  u32 characteristics = 0;
};

struct PeImage {
  u32 peOffset = 0;        // e_lfanew
  u16 machine = 0;
  bool pe32Plus = false;   // optional header magic 0x20B
  u32 optionalHeader = 0;  // file offset of the optional header
  u32 optionalHeaderSize = 0;
  u32 sectionTable = 0;    // file offset of the first section header
  u32 sectionAlignment = 0;
  u32 fileAlignment = 0;
  u32 sizeOfImage = 0;
  u32 sizeOfHeaders = 0;
  u32 sizeOfInitializedData = 0;
  u32 dataDirectoryCount = 0;
  u32 dataDirectories = 0;  // file offset of the data directory array
  std::vector<PeSection> sections;
};

bool ParsePe(std::span<const u8> file, PeImage& pe, std::string& error);

// A resource data entry of type RT_ICON: where its bytes lie in the file.
struct IconImage {
  u32 fileOffset = 0;
  u32 size = 0;
};

// The icon images of the resource directory, in directory order.
bool FindIconImages(std::span<const u8> file, const PeImage& pe, std::vector<IconImage>& icons, std::string& error);

struct AppendedSection {
  u32 rawPointer = 0;      // PointerToRawData: the stub part is the file before it
  u32 size = 0;            // raw and virtual size, aligned
  u32 virtualAddress = 0;
};

// The alignment of the archive section's size: both FileAlignment and
// SectionAlignment divide it.
u32 ArchiveSectionAlignment(const PeImage& pe);

// Appends contents as a new last section named name: its raw data starts at
// the end of the file rounded up to FileAlignment, raw and virtual sizes are
// equal and aligned to both alignments (contents padded with zeros),
// NumberOfSections, SizeOfImage and SizeOfInitializedData are updated and the
// optional header's CheckSum is cleared (it would no longer be right, and 0
// means "not set"). The section header slot and the one after it must be
// free (zero) and inside SizeOfHeaders, so that a program that removes the
// section again by moving the following slots up finds zeros there. A stub
// whose alignments exceed 64 KiB is refused.
bool AppendSection(std::vector<u8>& file, const char* name, std::span<const u8> contents, u32 characteristics,
                   AppendedSection& placed, std::string& error);

inline constexpr u32 kSectionInitializedData = 0x00000040;
inline constexpr u32 kSectionRead = 0x40000000;

}  // namespace kova::builder
