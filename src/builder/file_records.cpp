// Writing file records; see file_records.h.
#include "builder/file_records.h"

#include <cstdio>

#include "builder/flag_names.h"
#include "builder/script_items.h"
#include "format/archive.h"
#include "format/checksum.h"
#include "format/file_record.h"

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

bool CheckRecordName(std::string_view name, std::string& why) {
  std::string text(name);
  format::RecordNameCheck check =
      text.find('\0') != std::string::npos ? format::RecordNameCheck::kCharacter : format::CheckRecordName(text.c_str());
  switch (check) {
    case format::RecordNameCheck::kSafe: return true;
    case format::RecordNameCheck::kEmpty: why = "the name is empty"; break;
    case format::RecordNameCheck::kAbsolute: why = "the name is an absolute path"; break;
    case format::RecordNameCheck::kColon: why = "a colon (drive letter or stream name) is not allowed"; break;
    case format::RecordNameCheck::kEmptyComponent: why = "the name has an empty path component"; break;
    case format::RecordNameCheck::kDotsComponent:
      why = "a path component of dots and spaces only (such as '..') is not allowed";
      break;
    case format::RecordNameCheck::kCharacter:
      for (char raw : text) {
        auto c = static_cast<unsigned char>(raw);
        if (format::IsRefusedNameCharacter(c)) {
          char buffer[64];
          std::snprintf(buffer, sizeof buffer, "the character 0x%02X is not allowed in file names", c);
          why = buffer;
          break;
        }
      }
      break;
  }
  return false;
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
