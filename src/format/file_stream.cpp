// Assembling, checking and decompressing the file data stream; see
// file_stream.h.
#include "format/file_stream.h"

#include "format/archive_open.h"
#include "format/byte_reader.h"
#include "format/checksum.h"
#include "format/corrupt_codes.h"
#include "format/decompress.h"
#include "format/file_record.h"
#include "format/install_script.h"

namespace kova::format {
namespace {

// Texts of one record (name and up to three texts) are counted at no more
// than this; the whole stream at no more than the decoder's own limit.
constexpr i64 kTextBytesPerRecord = 64 * 1024;
constexpr i64 kMaxStreamBytes = 0x7FFFFFFF;

// Opens volume number and checks its sequence number, asking until the right
// one is there. Returns 0 with the volume and its size, or the code Refused
// ended with.
i32 OpenVolume(VolumeFiles& volumes, i32 number, u32 expected, ByteSource*& volume, i64& size) {
  // From the second refusal on, or once a wrong file was found, the prompt
  // says the disk in the drive is not the right one.
  bool wrong = false;
  for (i32 refusals = 0;; ++refusals) {
    if (refusals > 0) {
      if (i32 code = volumes.Refused(number, wrong || refusals > 1)) return code;
    }
    volume = volumes.Open(number);
    if (!volume) continue;
    u8 head[4];
    size = volume->Size();
    if (size <= 4 || !volume->ReadAt(0, head, 4) || LoadLe32(head) != expected) {
      wrong = true;
      continue;
    }
    return 0;
  }
}

i32 AssembleFromVolumes(ByteSource* programFile, const FileStreamLayout& layout, VolumeFiles& volumes,
                        core::ByteBuffer& stream) {
  const i64 length = layout.length;
  const i64 present = layout.bytesInProgramFile;
  i64 filled = present;
  bool allocated = false;
  u32 expected = layout.firstSequenceNumber;
  for (i32 number = 2; filled < length; ++number, ++expected) {
    volumes.Reading(number, filled, length);
    ByteSource* volume = nullptr;
    i64 size = 0;
    if (i32 code = OpenVolume(volumes, number, expected, volume, size)) return code;
    if (!allocated) {
      stream.Reserve(static_cast<std::size_t>(length));
      if (present > 0 && (!programFile || !programFile->ReadAt(layout.streamStart, stream.Data(), present)))
        return kCorruptVolumeRead;
      allocated = true;
    }
    i64 take = size - 4 < length - filled ? size - 4 : length - filled;
    if (!volume->ReadAt(4, stream.Data() + filled, take)) return kCorruptVolumeRead;
    volumes.Accepted(number, expected, take);
    filled += take;
  }
  stream.SetSizeUnchecked(static_cast<std::size_t>(length));
  return 0;
}

}  // namespace

void FileStreamBytes::Own(core::ByteBuffer& buffer) {
  owned_ = static_cast<core::ByteBuffer&&>(buffer);
  data_ = owned_.Data();
  size_ = owned_.Size();
}

void FileStreamBytes::Clear() {
  core::ByteBuffer none;
  Own(none);
}

FileStreamLayout FileStreamLayoutOf(const OpenedArchive& archive, u32 productFlags, u32 firstSequenceNumber) {
  const ArchiveHeader& header = archive.header;
  FileStreamLayout layout;
  layout.streamStart = archive.sectionStart + header.FileDataOffset();
  layout.bytesInProgramFile = static_cast<i64>(header.archiveEnd) - header.FileDataOffset();
  layout.length = header.fileDataSize;
  layout.checksum = header.fileDataChecksum;
  layout.compressed = (productFlags & kFlagCompressedData) != 0;
  layout.maxDecompressedSize = MaxRecordBytes(header.fileSizes);
  layout.firstSequenceNumber = firstSequenceNumber;
  return layout;
}

std::size_t MaxRecordBytes(const core::Array<i32>& fileSizes) {
  i64 limit = kTextBytesPerRecord;
  for (i32 size : fileSizes) {
    limit += (size > 0 ? static_cast<i64>(size) : 0) + kRecordFixedBytes + kTextBytesPerRecord;
    if (limit > kMaxStreamBytes) limit = kMaxStreamBytes;
  }
  return static_cast<std::size_t>(limit);
}

core::String VolumeFileName(const char* baseName, i32 number) {
  return core::Formatted("%s%d.KVA", baseName ? baseName : "", number);
}

i32 AssembleFileStream(ByteSource* programFile, const FileStreamLayout& layout, VolumeFiles* volumes,
                       FileStreamBytes& stream) {
  stream.Clear();
  if (layout.length < 0) return kCorruptFileDataSize;
  if (layout.bytesInProgramFile < 0) return kCorruptArchiveEnd;
  core::ByteBuffer buffer;
  i32 code = 0;
  if (layout.bytesInProgramFile >= layout.length) {
    // The whole stream is here: used in place when the source can lend it,
    // else read once.
    if (layout.length > 0) {
      if (!programFile) return kCorruptVolumeRead;
      if (const u8* view = programFile->View(layout.streamStart, layout.length)) {
        stream.Lend(view, static_cast<std::size_t>(layout.length));
        return 0;
      }
      buffer.Reserve(static_cast<std::size_t>(layout.length));
      if (!programFile->ReadAt(layout.streamStart, buffer.Data(), layout.length)) return kCorruptVolumeRead;
      buffer.SetSizeUnchecked(static_cast<std::size_t>(layout.length));
    }
  } else {
    if (!volumes) return kCorruptVolumeRead;
    code = AssembleFromVolumes(programFile, layout, *volumes, buffer);
  }
  if (code == 0) stream.Own(buffer);
  return code;
}

i32 CheckFileStream(const FileStreamLayout& layout, const FileStreamBytes& stream, u32* actual) {
  u32 sum = Checksum32(stream.Data(), static_cast<i64>(stream.Size()));
  if (actual) *actual = sum;
  return sum == layout.checksum ? 0 : kCorruptStreamChecksum;
}

i32 DecodeFileStream(const FileStreamLayout& layout, FileStreamBytes& stream) {
  if (!layout.compressed || layout.length == 0) return 0;
  core::ByteBuffer decoded;
  if (!DecompressBlock(stream.Data(), stream.Size(), layout.maxDecompressedSize, decoded)) return kCorruptStreamDecode;
  stream.Own(decoded);
  return 0;
}

}  // namespace kova::format
