// Fonts in the sandbox: there is no font table to add to, but a font file is
// judged as Windows judges it before adding it. AddFontResourceA takes a
// TrueType or OpenType file (or a collection of them) whose table directory
// lies within the file, or a raster font resource file (.fon, an "MZ"
// executable); anything else is refused, so an installer whose font is not
// one reports it as it would on Windows. A name without a folder is looked
// for in the Fonts folder.
#include "platform/fonts.h"

#include "core/paths.h"
#include "core/string.h"
#include "format/byte_reader.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace kova::platform {
namespace {

constexpr u32 kTrueType = 0x00010000;
constexpr u32 kOpenType = 0x4F54544F;    // "OTTO"
constexpr u32 kAppleTrue = 0x74727565;   // "true"
constexpr u32 kCollection = 0x74746366;  // "ttcf"
constexpr u32 kMaxTables = 256;

u32 LoadBe32(const u8* p) { return (u32{p[0]} << 24) | (u32{p[1]} << 16) | (u32{p[2]} << 8) | p[3]; }

bool ReadAt(FileHandle file, i64 offset, void* buffer, u32 size) {
  u32 done = 0;
  return MoveFilePointer(file, offset, kSeekBegin, nullptr) && ReadFileData(file, buffer, size, &done) && done == size;
}

// The font at offset (an sfnt header): its tables lie within the file.
bool IsSfntFont(FileHandle file, i64 offset, i64 length) {
  u8 header[12];
  if (!ReadAt(file, offset, header, sizeof header)) return false;
  u32 version = LoadBe32(header);
  if (version != kTrueType && version != kOpenType && version != kAppleTrue) return false;
  u32 tables = (u32{header[4]} << 8) | header[5];
  if (tables == 0 || tables > kMaxTables) return false;
  for (u32 i = 0; i < tables; ++i) {
    u8 record[16];
    if (!ReadAt(file, offset + 12 + 16 * static_cast<i64>(i), record, sizeof record)) return false;
    i64 start = LoadBe32(record + 8);
    i64 size = LoadBe32(record + 12);
    if (start + size > length) return false;
  }
  return true;
}

bool IsFontFile(const char* path) {
  ScopedFile file(OpenFileHandle(path, kAccessRead, kShareRead, kOpenExisting, kAttributeNormal));
  i64 length = 0;
  u8 start[12];
  if (!file || !FileLength(file.Get(), &length) || !ReadAt(file.Get(), 0, start, sizeof start)) return false;
  if (start[0] == 'M' && start[1] == 'Z') return true;
  if (LoadBe32(start) != kCollection) return IsSfntFont(file.Get(), 0, length);
  u32 fonts = LoadBe32(start + 8);
  if (fonts == 0 || fonts > kMaxTables) return false;
  for (u32 i = 0; i < fonts; ++i) {
    u8 offset[4];
    if (!ReadAt(file.Get(), 12 + 4 * static_cast<i64>(i), offset, sizeof offset) ||
        !IsSfntFont(file.Get(), LoadBe32(offset), length))
      return false;
  }
  return true;
}

}  // namespace

i32 AddFontFile(const char* name) {
  if (!name || !*name) return 0;
  core::String path(name);
  bool hasFolder = path.Find("\\") >= 0 || path.Find(":") >= 0;
  if (!hasFolder) path = core::JoinPath(core::JoinPath(WindowsDirectory().CStr(), "Fonts").CStr(), name);
  return IsFontFile(path.CStr()) ? 1 : 0;
}

bool RemoveFontFile(const char* name) { return name != nullptr; }

void BroadcastFontChange() {}

}  // namespace kova::platform
