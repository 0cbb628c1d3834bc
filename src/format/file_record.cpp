// Reading file records; see file_record.h.
#include "format/file_record.h"

#include <cstring>

#include "format/archive.h"
#include "format/byte_reader.h"
#include "format/checksum.h"
#include "format/corrupt_codes.h"

namespace kova::format {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsKnownType(u32 type) {
  return type == kFileTypeInstallDir || type == kFileTypeShared || type == kFileTypeFont ||
         type == kFileTypeStartup || type == kFileTypeSystem;
}

}  // namespace

RecordNameCheck CheckRecordName(const char* name) {
  if (!name || !*name) return RecordNameCheck::kEmpty;
  if (IsSeparator(name[0])) return RecordNameCheck::kAbsolute;
  for (const char* p = name; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (c == ':') return RecordNameCheck::kColon;
    if (IsRefusedNameCharacter(c)) return RecordNameCheck::kCharacter;
  }
  // Each component must hold something besides dots and spaces: Windows
  // trims them, leaving nothing, "." or "..".
  const char* start = name;
  for (const char* p = name;; ++p) {
    if (*p && !IsSeparator(*p)) continue;
    if (p == start) return RecordNameCheck::kEmptyComponent;
    bool onlyDots = true;
    for (const char* q = start; q < p; ++q)
      if (*q != '.' && *q != ' ') onlyDots = false;
    if (onlyDots) return RecordNameCheck::kDotsComponent;
    if (!*p) return RecordNameCheck::kSafe;
    start = p + 1;
  }
}

bool IsSafeRecordName(const char* name) { return CheckRecordName(name) == RecordNameCheck::kSafe; }

bool FileRecordReader::ReadText(core::String& text) {
  if (position_ >= size_) return false;
  const void* nul = std::memchr(stream_ + position_, 0, size_ - position_);
  if (!nul) return false;
  std::size_t length = static_cast<std::size_t>(static_cast<const u8*>(nul) - (stream_ + position_));
  if (length >= static_cast<std::size_t>(core::kMaxStringLength)) return false;
  text.Assign(reinterpret_cast<const char*>(stream_ + position_), static_cast<i32>(length));
  position_ += length + 1;
  return true;
}

bool FileRecordReader::ReadU32(u32& value) {
  if (size_ - position_ < 4) return false;
  value = LoadLe32(stream_ + position_);
  position_ += 4;
  return true;
}

i32 FileRecordReader::Next(i32 dataSize, FileRecord& record) {
  if (!ReadText(record.name) || !IsSafeRecordName(record.name.CStr())) return format::kCorruptRecordName;
  if (!ReadU32(record.type) || !ReadU32(record.flags)) return format::kCorruptRecordType;
  if (dataSize < 0) return format::kCorruptRecordSizeNegative;
  if (dataSize > format::kMaxFileSize) return format::kCorruptRecordSizeTooLarge;
  if (static_cast<std::size_t>(dataSize) > size_ - position_) return format::kCorruptRecordSizeTooLarge;
  record.data = stream_ + position_;
  record.size = dataSize;
  position_ += static_cast<std::size_t>(dataSize);

  u32 checksum = 0;
  if (!ReadU32(checksum) || format::Checksum32(record.data, dataSize) != checksum)
    return format::kCorruptRecordChecksum;
  i32* stamp[] = {&record.stamp.year, &record.stamp.month, &record.stamp.day,
                  &record.stamp.hour, &record.stamp.minute, &record.stamp.second};
  for (i32* field : stamp) {
    u32 value = 0;
    if (!ReadU32(value)) return format::kCorruptRecordChecksum;
    *field = static_cast<i32>(value);
  }
  record.text2.Clear();
  if (!ReadText(record.text1)) return format::kCorruptRecordChecksum;
  if ((record.flags & (kFileDesktopShortcut | kFileProgramsShortcut)) && !ReadText(record.text2))
    return format::kCorruptRecordChecksum;
  if (!ReadText(record.text3)) return format::kCorruptRecordChecksum;
  if (!IsKnownType(record.type)) return format::kCorruptRecordType;
  return 0;
}

}  // namespace kova::format
