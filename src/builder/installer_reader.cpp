// Reading an installer as the stub does; see installer_reader.h.
#include "builder/installer_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "builder/ansi_text.h"
#include "builder/installer_writer.h"
#include "format/checksum.h"
#include "format/decompress.h"
#include "payload/fatal.h"
#include "format/script_reader.h"

namespace kova::builder {
namespace {

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

// Appends the volume files' parts of the stream until it is whole.
void ReadVolumes(InstallerContents& c, u64 total) {
  u32 expected = c.script.firstSequenceNumber;
  std::string base(c.script.volumeBaseName.CStr(), static_cast<std::size_t>(c.script.volumeBaseName.Length()));
  for (int number = 2; c.stream.size() < total; ++number, ++expected) {
    std::string path = VolumePath(c.path, base, number);
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
      c.volumeProblem = "volume file '" + path + "' cannot be opened (" + std::strerror(errno) +
                        "); the installer would ask for disk " + std::to_string(number);
      return;
    }
    i64 size = SizeOf(file.Get());
    u8 head[4];
    FileSource source(file.Get(), size);
    if (size <= 4 || !source.ReadAt(0, head, 4)) {
      c.volumeProblem = "volume file '" + path + "' holds no data; the installer would ask for the right disk";
      return;
    }
    u32 sequence = static_cast<u32>(head[0]) | static_cast<u32>(head[1]) << 8 | static_cast<u32>(head[2]) << 16 |
                   static_cast<u32>(head[3]) << 24;
    if (sequence != expected) {
      c.volumeProblem = "volume file '" + path + "' has the sequence number " + std::to_string(sequence) +
                        " where " + std::to_string(expected) +
                        " is expected (a volume of another build?); the installer would ask for the right disk";
      return;
    }
    // A volume gives no more than the bytes still missing.
    u64 take = std::min<u64>(static_cast<u64>(size - 4), total - c.stream.size());
    std::size_t at = c.stream.size();
    c.stream.resize(at + take);
    if (!source.ReadAt(4, c.stream.data() + at, static_cast<i64>(take))) {
      c.code = format::kCorruptVolumeRead;
      c.detail = "volume file '" + path + "' cannot be read";
      return;
    }
    c.volumes.push_back({path, sequence, take});
  }
}

// The file data stream: assembled, checked, decompressed, split into records.
void ReadStream(InstallerContents& c, format::ByteSource& file) {
  const format::ArchiveHeader& h = c.archive.header;
  u64 total = static_cast<u64>(h.fileDataSize);
  i64 offset = h.FileDataOffset();
  c.streamPresent = h.archiveEnd > offset ? static_cast<u64>(h.archiveEnd - offset) : 0;
  i64 start = c.archive.sectionStart + offset;
  u64 inFile = std::min<u64>(c.streamPresent, total);
  if (start > c.fileSize || inFile > static_cast<u64>(c.fileSize - start)) {
    c.code = format::kCorruptStreamChecksum;
    c.detail = "the installer is cut short: the archive header promises file data beyond its end";
    return;
  }
  c.stream.resize(inFile);
  if (!file.ReadAt(start, c.stream.data(), static_cast<i64>(inFile))) {
    c.code = format::kCorruptStreamChecksum;
    c.detail = "the file data in the installer cannot be read";
    return;
  }
  if (inFile < total) ReadVolumes(c, total);
  if (c.code != 0 || !c.volumeProblem.empty()) return;

  c.streamChecksum = format::Checksum32(c.stream.data(), static_cast<i64>(c.stream.size()));
  if (c.streamChecksum != h.fileDataChecksum) {
    c.code = format::kCorruptStreamChecksum;
    return;
  }
  if ((c.script.productFlags & format::kFlagCompressedData) && total != 0) {
    // The stream passed its checksum, so its declared size is the builder's;
    // still, no more is reserved than the records can fill: the files' data
    // plus 16 MiB for names and texts.
    u64 limit = 16u << 20;
    for (i32 size : h.fileSizes) limit += static_cast<u64>(size) + 64;
    core::ByteBuffer buffer(c.stream.data(), c.stream.size());
    if (!format::Decompress(buffer, static_cast<std::size_t>(std::min<u64>(limit, 0x7FFFFFFF)))) {
      c.code = format::kCorruptStreamDecode;
      return;
    }
    c.stream.assign(buffer.Data(), buffer.Data() + buffer.Size());
  }
  std::vector<i32> sizes(h.fileSizes.begin(), h.fileSizes.end());
  c.code = ReadFileRecords(c.stream, sizes, c.records, c.detail);
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
    case format::kCorruptRecordName: return "a file record's name is empty";
    case format::kCorruptRecordSizeNegative: return "a file record's size is negative";
    case format::kCorruptRecordSizeTooLarge: return "a file record's size exceeds 0x40000000";
    case format::kCorruptRecordChecksum: return "a file record's checksum differs";
    case format::kCorruptRecordType: return "a file record's type is unknown";
    default: return "unknown damage";
  }
}

}  // namespace kova::builder
