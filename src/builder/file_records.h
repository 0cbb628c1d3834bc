// File records: the entries of the file data stream, one per file, in
// archive order: name, type, flags, the data (its length is the file's entry
// in the archive header's size table), the data's checksum, the stamp, and
// up to three texts (the second only for files with a desktop or programs
// shortcut). The builder writes them; inspect and extract read them back
// with the installer's own reader (format/file_record.h).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "format/file_record.h"
#include "format/file_stamp.h"

namespace kova::builder {

struct FileRecord {
  std::string name;  // relative to the target folder, backslash separated
  u32 type = 0;
  u32 flags = 0;
  format::FileStamp stamp;
  std::string text1;  // shortcut name, font name or version text, by type
  std::string text2;  // shortcut icon; present only with a desktop or programs shortcut
  std::string text3;  // shortcut arguments
};

// Whether a record with these flags carries text 2.
inline bool HasIconText(u32 flags) { return (flags & (format::kFileDesktopShortcut | format::kFileProgramsShortcut)) != 0; }

void AppendFileRecord(std::vector<u8>& stream, const FileRecord& record, std::span<const u8> data);

struct ReadRecord {
  FileRecord record;
  std::size_t dataOffset = 0;  // in the decompressed stream
  std::size_t dataSize = 0;
};

// Whether name is a record name the installer accepts
// (format::IsSafeRecordName); why says what is wrong.
bool CheckRecordName(std::string_view name, std::string& why);

// The components of a name that passed CheckRecordName.
std::vector<std::string> SplitRecordName(std::string_view name);

}  // namespace kova::builder
