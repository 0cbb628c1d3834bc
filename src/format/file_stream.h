// The file data stream: the bytes of every file record, held by the
// installer's own file after the install script and, when they do not all
// fit there, by numbered volume files beside the installer ("%s%d.KVA",
// from 2 on: the installer itself is volume 1). A volume is a 32-bit
// sequence number followed by the next part of the stream. Once assembled,
// the stream's checksum is compared, and a compressed stream is
// decompressed as a whole.
//
// Who finds the volumes differs (the installer asks for the disk, the host
// inspector reports what is missing), so they come through VolumeFiles; the
// checks and their codes are the same for everyone.
//
// Memory: when the installer holds the whole stream its bytes are used in
// place, where the source can lend them (ByteSource::View: a mapping of the
// installer's file, or memory a host tool holds), else read once into the
// one buffer the records are then used from; otherwise the buffer is sized
// for the whole stream only once a first volume has been accepted (a damaged
// length in an installer without volumes allocates nothing), and a volume
// never gives more than the bytes still missing. A compressed stream needs
// the compressed and the decompressed bytes for the time of decoding.
#pragma once

#include "core/array.h"
#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/byte_source.h"

namespace kova::format {

struct OpenedArchive;

// The stream's bytes: lent by the installer's source, or held in a buffer
// of its own (assembled from volumes, read, or decompressed).
class FileStreamBytes {
 public:
  FileStreamBytes() = default;
  FileStreamBytes(const FileStreamBytes&) = delete;
  FileStreamBytes& operator=(const FileStreamBytes&) = delete;

  const u8* Data() const { return data_; }
  std::size_t Size() const { return size_; }

  // Bytes valid for as long as the source that lent them (on an empty
  // FileStreamBytes).
  void Lend(const u8* data, std::size_t size) {
    data_ = data;
    size_ = size;
  }
  // Takes the buffer's bytes (buffer is left empty).
  void Own(core::ByteBuffer& buffer);
  void Clear();

 private:
  const u8* data_ = nullptr;
  std::size_t size_ = 0;
  core::ByteBuffer owned_;
};

// Where the stream lies and how it is stored.
struct FileStreamLayout {
  i64 streamStart = 0;         // offset of the stream's first byte in the installer's file
  i64 bytesInProgramFile = 0;  // stream bytes the installer holds (to the archive end)
  i32 length = 0;              // of the stream as stored (compressed, when it is)
  u32 checksum = 0;            // Checksum32 of the stored stream
  bool compressed = false;     // ProductFlags 0x20
  // The largest decompressed stream accepted: a damaged block cannot make
  // the reader allocate more than the records could hold.
  std::size_t maxDecompressedSize = 0;
  u32 firstSequenceNumber = 0;  // of volume 2
};

// The layout from the archive header and the install script's flags and
// first sequence number.
FileStreamLayout FileStreamLayoutOf(const OpenedArchive& archive, u32 productFlags, u32 firstSequenceNumber);

// The most bytes the records of a size table can fill: each file's data and
// fixed fields, and 64 KiB of texts per record.
std::size_t MaxRecordBytes(const core::Array<i32>& fileSizes);

// The file name of volume number: baseName followed by the number and ".KVA".
core::String VolumeFileName(const char* baseName, i32 number);

// The volume files of one installer, as whoever reads it finds them.
class VolumeFiles {
 public:
  // Volume number (2 and up) as a byte source valid until the next Open, or
  // null when it cannot be opened.
  virtual ByteSource* Open(i32 number) = 0;
  // Volume number was missing or held no data or another sequence number
  // (wrong: a wrong file was found, or it is not the first refusal): 0 to
  // look for it again, or the code to end the reading with.
  virtual i32 Refused(i32 number, bool wrong) = 0;
  // Before each volume is looked for: filled of the length bytes are present.
  virtual void Reading(i32 /*number*/, i64 /*filled*/, i64 /*length*/) {}
  // A volume was accepted and bytes of the stream taken from it.
  virtual void Accepted(i32 /*number*/, u32 /*sequence*/, i64 /*bytes*/) {}

 protected:
  ~VolumeFiles() = default;
};

// Reads the stored stream into stream, from programFile and as many volumes
// as it takes. Returns 0 or: 29 the length is negative, 45 the archive end
// lies before the stream, 50 the installer's or a volume's bytes cannot be
// read, or whatever VolumeFiles::Refused ended with.
i32 AssembleFileStream(ByteSource* programFile, const FileStreamLayout& layout, VolumeFiles* volumes,
                       FileStreamBytes& stream);

// The stored stream's checksum: 0 or 55. actual, when given, receives the
// checksum computed.
i32 CheckFileStream(const FileStreamLayout& layout, const FileStreamBytes& stream, u32* actual = nullptr);

// Replaces a compressed stream by its decompressed bytes (nothing to do for a
// stored or empty one): 0 or 60. The compressed bytes are let go once the
// decoding is done.
i32 DecodeFileStream(const FileStreamLayout& layout, FileStreamBytes& stream);

}  // namespace kova::format
