// File records: the entries of the (decompressed) file data stream, one per
// file, in archive order. A record is name, type, flags, the data (its
// length is the file's entry in the size table, not stored in the record),
// the data's checksum, the stamp, and up to three texts. The reader checks
// every field before the file loop acts on any of it, so nothing of a
// damaged record is ever written; a damaged record is reported by the code
// CorruptArchive shows for it.
#pragma once

#include "core/string.h"
#include "format/file_stamp.h"

namespace kova::format {

// File types: the target folder of a file.
inline constexpr u32 kFileTypeInstallDir = 0;  // InstallDir; a shortcut entry with flag 0x1 or 0x2
inline constexpr u32 kFileTypeShared = 1;      // SharedDir; counted in SharedDLLs
inline constexpr u32 kFileTypeFont = 4;        // the font folder; registered as a font
inline constexpr u32 kFileTypeStartup = 5;     // InstallDir; always a shortcut, also in Startup
inline constexpr u32 kFileTypeSystem = 6;      // the system directory; version and date rule

// File flags.
inline constexpr u32 kFileDesktopShortcut = 0x01;
inline constexpr u32 kFileProgramsShortcut = 0x02;
inline constexpr u32 kFileExistingMask = 0x0C;  // what to do about an existing target:
inline constexpr u32 kFileExistingAny = 0x00;   //   install normally
inline constexpr u32 kFileNeverInstall = 0x04;  //   do not install this file
inline constexpr u32 kFileOnlyIfExists = 0x08;  //   only when the target exists
inline constexpr u32 kFileOnlyIfMissing = 0x0C; //   only when the target does not exist
inline constexpr u32 kFilePermanent = 0x20;     // never removed by the uninstaller
inline constexpr u32 kFileInUninstallDir = 0x40;  // target below the uninstall folder

// Fixed bytes of a record beyond its data and texts: type, flags, checksum,
// stamp.
inline constexpr i32 kRecordFixedBytes = 4 + 4 + 4 + kFileStampBytes;

struct FileRecord {
  core::String name;
  u32 type = 0;
  u32 flags = 0;
  const u8* data = nullptr;  // inside the stream; the stream outlives the record
  i32 size = 0;
  FileStamp stamp;
  core::String text1;  // type 6: version; type 4: font name; types 0 and 5: shortcut name
  core::String text2;  // with flag 0x1 or 0x2 only: the shortcut's icon, below the uninstall folder
  core::String text3;  // the shortcut's arguments
};

// Whether name may be joined to a target folder: a relative path that
// stays below it. Refused: the empty name, a drive or stream colon, a
// leading separator (absolute or UNC), an empty, "." or ".." component, a
// component of dots and spaces only (Windows trims it to nothing or to
// ".."), and the characters Windows refuses in file names (control
// characters, < > " | ? *); '/' separates as '\' does.
bool IsSafeRecordName(const char* name);

// The characters Windows refuses in a file name beside the separators and
// the colon: control characters and < > " | ? *.
inline bool IsRefusedNameCharacter(unsigned char c) {
  return c < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

// What is wrong with a name, for messages that say it.
enum class RecordNameCheck : u8 {
  kSafe,
  kEmpty,
  kAbsolute,        // a leading separator
  kColon,           // a drive letter or stream name
  kCharacter,       // a control character or one of < > " | ? *
  kEmptyComponent,  // two separators in a row, or one at the end
  kDotsComponent,   // ".", ".." or another component of dots and spaces only
};
RecordNameCheck CheckRecordName(const char* name);

// Reads the records of a stream front to back.
class FileRecordReader {
 public:
  FileRecordReader(const u8* stream, std::size_t size) : stream_(stream), size_(size) {}

  // Reads the next record, whose data size comes from the size table. Returns
  // 0, or the code of the first damage, checked in the order of the fields:
  //   70  the name is empty, unsafe (IsSafeRecordName) or runs off the end
  //   110 the type or flags run off the end, or the type is none of the table
  //   71  the size is negative; 72 the size is above 0x40000000 or the data
  //       run off the end
  //   100 the checksum differs, or the checksum, stamp or texts run off the end
  // The type is judged last, after the checksum, as the file loop always has.
  i32 Next(i32 dataSize, FileRecord& record);

  std::size_t Position() const { return position_; }

 private:
  bool ReadText(core::String& text);
  bool ReadU32(u32& value);

  const u8* stream_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace kova::format
