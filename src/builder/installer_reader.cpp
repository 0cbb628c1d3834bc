// Reading an installer as the stub does; see installer_reader.h.
#include "builder/installer_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "builder/ansi_text.h"
#include "builder/installer_writer.h"
#include "format/checksum.h"
#include "format/corrupt_codes.h"
#include "format/file_record.h"
#include "format/file_stream.h"
#include "format/script_reader.h"

namespace kova::builder {
namespace {

// VolumeFiles::Refused's answer here: nobody is asked, the reading stops.
constexpr i32 kVolumeRefused = -100;

// An open file as the engine's byte source, read with pread.
class FileSource final : public format::ByteSource {
 public:
  explicit FileSource(int fd, i64 size) : fd_(fd), size_(size) {}
  i64 Size() override { return size_; }
  bool ReadAt(i64 position, u8* buffer, i64 n) override {
    if (position < 0 || n < 0 || position > size_ || n > size_ - position) return false;
    while (n > 0) {
      ssize_t got = ::pread(fd_, buffer, static_cast<std::size_t>(n), position);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      buffer += got;
      position += got;
      n -= got;
    }
    return true;
  }

 private:
  int fd_;
  i64 size_;
};

class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

i64 SizeOf(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<i64>(info.st_size) : -1;
}

// The volume files beside the installer, as found: a missing or wrong one is
// reported, not asked for.
class VolumesOnDisk final : public format::VolumeFiles {
 public:
  explicit VolumesOnDisk(InstallerContents& c)
      : c_(c), base_(c.script.volumeBaseName.CStr(), static_cast<std::size_t>(c.script.volumeBaseName.Length())) {}

  format::ByteSource* Open(i32 number) override {
    path_ = VolumePath(c_.path, base_, number);
    file_ = std::make_unique<FileHandle>(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (file_->Get() < 0) {
      openError_ = std::strerror(errno);
      return nullptr;
    }
    source_ = std::make_unique<FileSource>(file_->Get(), SizeOf(file_->Get()));
    return source_.get();
  }
  i32 Refused(i32 number, bool wrong) override {
    if (file_->Get() < 0) {
      c_.volumeProblem = "volume file '" + path_ + "' cannot be opened (" + openError_ +
                         "); the installer would ask for disk " + std::to_string(number);
    } else if (wrong) {
      c_.volumeProblem = "volume file '" + path_ +
                         "' holds no data or another sequence number (a volume of another build?); "
                         "the installer would ask for the right disk";
    }
    return kVolumeRefused;
  }
  void Accepted(i32, u32 sequence, i64 bytes) override {
    c_.volumes.push_back({path_, sequence, static_cast<u64>(bytes)});
  }

 private:
  InstallerContents& c_;
  std::string base_;
  std::string path_;
  std::string openError_;
  std::unique_ptr<FileHandle> file_;
  std::unique_ptr<FileSource> source_;
};

std::string RecordLabel(std::size_t index, const std::string& name) {
  std::string label = "file record " + std::to_string(index + 1);
  if (!name.empty()) label += " (" + name + ")";
  return label;
}

// The records, read with the installer's own reader.
void ReadRecords(InstallerContents& c, const u8* stream, std::size_t size) {
  format::FileRecordReader reader(stream, size);
  const core::Array<i32>& sizes = c.archive.header.fileSizes;
  for (i32 i = 0; i < sizes.Size(); ++i) {
    format::FileRecord record;
    c.code = reader.Next(sizes[i], record);
    if (c.code != 0) {
      c.detail = RecordLabel(static_cast<std::size_t>(i), std::string(record.name.CStr())) + ": " +
                 CorruptCodeMeaning(c.code);
      return;
    }
    ReadRecord entry;
    entry.record.name = record.name.CStr();
    entry.record.type = record.type;
    entry.record.flags = record.flags;
    entry.record.stamp = record.stamp;
    entry.record.text1 = record.text1.CStr();
    entry.record.text2 = record.text2.CStr();
    entry.record.text3 = record.text3.CStr();
    entry.dataOffset = static_cast<std::size_t>(record.data - stream);
    entry.dataSize = static_cast<std::size_t>(record.size);
    c.records.push_back(std::move(entry));
  }
}

// The file data stream: assembled, checked, decompressed and split into
// records exactly as the installer does it.
void ReadStream(InstallerContents& c, format::ByteSource& file) {
  format::FileStreamLayout layout =
      format::FileStreamLayoutOf(c.archive, c.script.productFlags, c.script.firstSequenceNumber);
  c.streamPresent = layout.bytesInProgramFile > 0 ? static_cast<u64>(layout.bytesInProgramFile) : 0;
  VolumesOnDisk volumes(c);
  format::FileStreamBytes stream;
  i32 code = format::AssembleFileStream(&file, layout, &volumes, stream);
  if (code == kVolumeRefused) return;  // volumeProblem says which
  if (code == 0) code = format::CheckFileStream(layout, stream, &c.streamChecksum);
  if (code == 0) code = format::DecodeFileStream(layout, stream);
  if ((c.code = code) != 0) {
    i64 inFile = layout.bytesInProgramFile < layout.length ? layout.bytesInProgramFile : layout.length;
    if (code == format::kCorruptVolumeRead && layout.streamStart + inFile > c.fileSize)
      c.detail = "the installer is cut short: the archive header promises file data beyond its end";
    return;
  }
  c.stream.assign(stream.Data(), stream.Data() + stream.Size());
  ReadRecords(c, c.stream.data(), c.stream.size());
  if (c.code == 0) c.streamRead = true;
}

}  // namespace

bool ReadInstaller(const std::string& path, InstallerContents& c, std::string& error) {
  c = InstallerContents{};
  c.path = path;
  FileHandle fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    error = "cannot open '" + path + "': " + std::strerror(errno);
    return false;
  }
  c.fileSize = SizeOf(fd.Get());
  if (c.fileSize < 0) {
    error = "'" + path + "' is not a regular file";
    return false;
  }
  FileSource file(fd.Get(), c.fileSize);

  // The stub's order: archive and script block, ProductFlags, the script's
  // checksum, the other items, the uninstaller image, later the file data.
  c.code = format::OpenArchive(file, c.archive);
  c.headerRead = c.code == 0 || c.code == format::kCorruptScriptDecode;
  if (c.code != 0) return true;
  c.scriptChecksum = format::Checksum32(c.archive.script.Data(), static_cast<i64>(c.archive.script.Size()));
  if (c.archive.script.Size() > 0x7FFFFFFF) {
    c.code = format::kCorruptScriptDecode;
    return true;
  }
  auto length = static_cast<i32>(c.archive.script.Size());
  format::ScriptReader reader(c.archive.script.Data(), length);
  c.script.productFlags = format::ReadProductFlags(reader);
  if ((c.code = format::VerifyScript(c.archive)) != 0) return true;
  if ((c.code = format::ReadScriptItems(reader, c.script)) != 0) return true;
  c.scriptRead = true;

  core::ByteBuffer stubBytes;
  stubBytes.Resize(c.archive.layout.rawPointer);
  if (file.ReadAt(0, stubBytes.Data(), c.archive.layout.rawPointer))
    c.stubChecksum = format::Checksum32(stubBytes.Data(), c.archive.layout.rawPointer);
  if ((c.code = format::BuildUninstaller(file, c.archive, c.script, c.uninstallerImage)) != 0) return true;

  ReadStream(c, file);
  return true;
}

std::string DescribeVerdict(const InstallerContents& c) {
  if (c.code == format::kNoArchive)
    return "not an installer: the file has no .kova section (the stub would start as the guard)";
  if (c.code == format::kVersionTooNew) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "the installer version (%.1f) is newer than 8.2; the stub refuses it",
                  c.archive.header.builderVersion / 100.0);
    return buffer;
  }
  if (c.code != 0) {
    std::string text = "corrupt archive: error code " + std::to_string(c.code) + " (" +
                       CorruptCodeMeaning(c.code) + ")";
    if (!c.detail.empty()) text += ": " + AnsiToUtf8(c.detail);
    return text;
  }
  if (!c.volumeProblem.empty()) return AnsiToUtf8(c.volumeProblem);
  return "ok";
}

const char* CorruptCodeMeaning(i32 code) {
  switch (code) {
    case format::kCorruptNegativeWrite: return "a file write with a negative size";
    case format::kCorruptNoSectionPointer: return "the archive section has no raw data";
    case format::kCorruptSectionSeek: return "the archive section lies beyond the end of the file";
    case format::kCorruptMagic: return "the archive magic is wrong";
    case format::kCorruptVolumeName: return "the volume base name is blank";
    case format::kCorruptScriptSize: return "the script size is outside 1..0x9FFFFF";
    case format::kCorruptIconPatch: return "the uninstaller icon patch offset is outside 0..999998";
    case format::kCorruptLicenseCount: return "the licence page count is outside 0..20";
    case format::kCorruptScriptChecksum: return "script checksum differs";
    case format::kCorruptReadmeCount: return "the read-me page count is outside 0..20";
    case format::kCorruptFileCount: return "the file count is negative";
    case format::kCorruptFileSizeEntry: return "a file-size table entry is outside 0..0x40000000 or cut short";
    case format::kCorruptFileDataSize: return "the file data size is negative";
    case format::kCorruptLanguageCount: return "the language count is 0";
    case format::kCorruptMessageCount: return "the message count is outside 1..10000";
    case format::kCorruptEndMarker: return "the install script's end marker is wrong";
    case format::kCorruptUninstallerName: return "the uninstaller file name is blank";
    case format::kCorruptStubRead: return "the bytes before the archive section cannot be read";
    case format::kCorruptStubChecksum: return "stub checksum differs";
    case format::kCorruptTailRead: return "the bytes after the archive section cannot be read";
    case format::kCorruptPeOffset: return "e_lfanew is outside 64..4096";
    case format::kCorruptSectionCount: return "NumberOfSections is outside 4..99";
    case format::kCorruptArchiveEnd: return "the archive end offset is negative";
    case format::kCorruptScriptDecode: return "the script block does not decompress";
    case format::kCorruptVolumeRead: return "a volume file cannot be read";
    case format::kCorruptStreamChecksum: return "file data checksum differs";
    case format::kCorruptStreamDecode: return "the file data does not decompress";
    case format::kCorruptRecordName: return "a file record's name is empty, leaves its folder or runs past the stream";
    case format::kCorruptRecordSizeNegative: return "a file record's size is negative";
    case format::kCorruptRecordSizeTooLarge: return "a file record's size exceeds 0x40000000 or its data run past the stream";
    case format::kCorruptRecordChecksum: return "a file record's checksum differs, or its checksum, stamp or texts run past the stream";
    case format::kCorruptRecordType: return "a file record's type is unknown, or its type or flags run past the stream";
    default: return "unknown damage";
  }
}

}  // namespace kova::builder
