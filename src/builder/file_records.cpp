// Writing and reading file records; see file_records.h.
#include "builder/file_records.h"

#include <cstdio>
#include <cstring>

#include "builder/flag_names.h"
#include "builder/script_items.h"
#include "format/archive.h"
#include "format/checksum.h"
#include "payload/fatal.h"

namespace kova::builder {

void AppendFileRecord(std::vector<u8>& stream, const FileRecord& record, std::span<const u8> data) {
  PutText(stream, record.name);
  PutU32(stream, record.type);
  PutU32(stream, record.flags);
  stream.insert(stream.end(), data.begin(), data.end());
  PutU32(stream, format::Checksum32(data.data(), static_cast<i64>(data.size())));
  PutStamp(stream, record.stamp);
  PutText(stream, record.text1);
  if (HasIconText(record.flags)) PutText(stream, record.text2);
  PutText(stream, record.text3);
}

namespace {

// A bounds-checked cursor over the stream; the first read past the end fails
// it for good.
class StreamCursor {
 public:
  explicit StreamCursor(std::span<const u8> bytes) : bytes_(bytes) {}
  bool Text(std::string& text) {
    if (failed_ || position_ >= bytes_.size()) return Fail();
    const void* nul = std::memchr(bytes_.data() + position_, 0, bytes_.size() - position_);
    if (!nul) return Fail();
    auto end = static_cast<std::size_t>(static_cast<const u8*>(nul) - bytes_.data());
    text.assign(reinterpret_cast<const char*>(bytes_.data() + position_), end - position_);
    position_ = end + 1;
    return true;
  }
  bool U32(u32& value) {
    if (failed_ || bytes_.size() - position_ < 4) return Fail();
    const u8* p = bytes_.data() + position_;
    value = static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16 |
            static_cast<u32>(p[3]) << 24;
    position_ += 4;
    return true;
  }
  bool I32(i32& value) {
    u32 raw;
    if (!U32(raw)) return false;
    value = static_cast<i32>(raw);
    return true;
  }
  bool Skip(std::size_t n) {
    if (failed_ || bytes_.size() - position_ < n) return Fail();
    position_ += n;
    return true;
  }
  std::size_t Position() const { return position_; }

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }
  std::span<const u8> bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

std::string RecordLabel(std::size_t index, const std::string& name) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "file record %zu", index + 1);
  std::string label = buffer;
  if (!name.empty()) label += " (" + name + ")";
  return label;
}

bool IsValidType(u32 type) { return NameOfValue(FileTypeNames(), type) != nullptr; }

}  // namespace

i32 ReadFileRecords(std::span<const u8> stream, std::span<const i32> fileSizes, std::vector<ReadRecord>& records,
                    std::string& detail) {
  StreamCursor cursor(stream);
  records.clear();
  for (std::size_t i = 0; i < fileSizes.size(); ++i) {
    ReadRecord entry;
    FileRecord& record = entry.record;
    auto pastEnd = [&]() {
      detail = RecordLabel(i, record.name) + " runs past the end of the file data stream";
      return format::kCorruptRecordChecksum;
    };
    if (!cursor.Text(record.name)) return pastEnd();
    if (record.name.empty()) {
      detail = RecordLabel(i, "") + " has an empty name";
      return format::kCorruptRecordName;
    }
    if (!cursor.U32(record.type) || !cursor.U32(record.flags)) return pastEnd();
    i32 size = fileSizes[i];
    if (size < 0) {
      detail = RecordLabel(i, record.name) + " has a negative size";
      return format::kCorruptRecordSizeNegative;
    }
    if (size > format::kMaxFileSize) {
      detail = RecordLabel(i, record.name) + " is larger than 0x40000000 bytes";
      return format::kCorruptRecordSizeTooLarge;
    }
    entry.dataOffset = cursor.Position();
    entry.dataSize = static_cast<std::size_t>(size);
    u32 checksum = 0;
    if (!cursor.Skip(entry.dataSize) || !cursor.U32(checksum)) return pastEnd();
    u32 actual = format::Checksum32(stream.data() + entry.dataOffset, size);
    if (actual != checksum) {
      char buffer[96];
      std::snprintf(buffer, sizeof buffer, ": data checksum 0x%08X, stored 0x%08X", actual, checksum);
      detail = RecordLabel(i, record.name) + buffer;
      return format::kCorruptRecordChecksum;
    }
    format::FileStamp& stamp = record.stamp;
    if (!cursor.I32(stamp.year) || !cursor.I32(stamp.month) || !cursor.I32(stamp.day) || !cursor.I32(stamp.hour) ||
        !cursor.I32(stamp.minute) || !cursor.I32(stamp.second))
      return pastEnd();
    if (!cursor.Text(record.text1)) return pastEnd();
    if (HasIconText(record.flags) && !cursor.Text(record.text2)) return pastEnd();
    if (!cursor.Text(record.text3)) return pastEnd();
    if (!IsValidType(record.type)) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, " has the unknown type %u", record.type);
      detail = RecordLabel(i, record.name) + buffer;
      return format::kCorruptRecordType;
    }
    records.push_back(std::move(entry));
  }
  return 0;
}

bool CheckRecordName(std::string_view name, std::string& why) {
  if (name.empty()) {
    why = "the name is empty";
    return false;
  }
  if (name.find(':') != std::string_view::npos) {
    why = "a colon (drive letter or stream name) is not allowed";
    return false;
  }
  if (name.front() == '\\' || name.front() == '/') {
    why = "the name is an absolute path";
    return false;
  }
  for (char raw : name) {
    auto c = static_cast<unsigned char>(raw);
    if (c < 0x20 || std::strchr("<>\"|?*", c)) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "the character 0x%02X is not allowed in file names", c);
      why = buffer;
      return false;
    }
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (part.empty()) {
      why = "the name has an empty path component";
      return false;
    }
    if (part.find_first_not_of(". ") == std::string_view::npos) {
      why = "the path component '" + std::string(part) + "' is not allowed";
      return false;
    }
    start = end + 1;
  }
  return true;
}

std::vector<std::string> SplitRecordName(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    parts.emplace_back(name.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace kova::builder
