// File records: the entries of the file data stream, one per file, in
// archive order: name, type, flags, the data (its length is the file's entry
// in the archive header's size table), the data's checksum, the stamp, and
// up to three texts (the second only for files with a desktop or programs
// shortcut). The builder writes them; inspect and extract read them back
// with the checks the installer makes, reporting the installer's codes.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
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
inline bool HasIconText(u32 flags) { return (flags & 0x3) != 0; }

void AppendFileRecord(std::vector<u8>& stream, const FileRecord& record, std::span<const u8> data);

struct ReadRecord {
  FileRecord record;
  std::size_t dataOffset = 0;  // in the decompressed stream
  std::size_t dataSize = 0;
};

// Reads fileSizes.size() records from the decompressed stream. Returns 0 or
// the installer's corrupt code for the first bad record (70 empty name,
// 71/72 size out of range, 100 checksum differs or the record runs past the
// end of the stream, 110 unknown type); detail then says which record and
// what is wrong.
i32 ReadFileRecords(std::span<const u8> stream, std::span<const i32> fileSizes, std::vector<ReadRecord>& records,
                    std::string& detail);

// Whether name is a safe relative path below its target folder: not empty, no
// drive or stream colon, no leading separator, and no empty, "." or ".."
// component (nor one of dots and spaces only, which Windows trims to
// nothing); slash and backslash both separate. Characters that Windows
// refuses in file names are refused too. why says what is wrong.
bool CheckRecordName(std::string_view name, std::string& why);

// The components of a name that passed CheckRecordName.
std::vector<std::string> SplitRecordName(std::string_view name);

}  // namespace kova::builder
