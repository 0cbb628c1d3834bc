// Fuzz target: the file data stream assembled from the installer and its
// volumes, checked, decompressed and cut into records, with every length,
// sequence number and volume size taken from the input. Layout of an input:
//   u32 stream length, u32 bytes in the installer, u32 first sequence number,
//   u8 flags (0x1 compressed, 0x2 checksum taken as right), u8 volume count
//   (up to 8), then per volume a u32 size, then u8 record count (up to 31)
//   and a u32 size per record; the rest is the installer's bytes followed by
//   the volumes' bytes.
#include <cstddef>
#include <cstdint>

#include "core/array.h"
#include "core/byte_buffer.h"
#include "format/byte_reader.h"
#include "format/byte_source.h"
#include "format/checksum.h"
#include "format/corrupt_codes.h"
#include "format/file_record.h"
#include "format/file_stream.h"

namespace {

using namespace kova;

class FuzzVolumes final : public format::VolumeFiles {
 public:
  format::ByteSource* Open(i32 number) override {
    i32 index = number - 2;
    if (index < 0 || index >= count_) return nullptr;
    source_ = format::MemorySource(slices_[index], sizes_[index]);
    return &source_;
  }
  // Nobody answers: a few refusals, then the end an automatic run takes.
  i32 Refused(i32, bool) override { return ++refusals_ > 3 ? format::kCorruptVolumeRead : 0; }

  void Add(const u8* data, i64 size) {
    slices_[count_] = data;
    sizes_[count_] = size;
    ++count_;
  }

 private:
  const u8* slices_[8] = {};
  i64 sizes_[8] = {};
  i32 count_ = 0;
  i32 refusals_ = 0;
  format::MemorySource source_{nullptr, 0};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  format::ByteReader header(data, size);
  format::FileStreamLayout layout;
  layout.length = static_cast<i32>(header.U32() & 0xFFFFF);  // up to 1 MiB: the sizes, not the memory, are fuzzed
  layout.bytesInProgramFile = static_cast<i32>(header.U32() & 0x1FFFFF) - 0x100000;  // negative too
  layout.firstSequenceNumber = header.U32();
  u32 flags = header.U16();
  u32 volumeCount = (flags >> 8) & 7;
  u32 volumeSizes[8] = {};
  for (u32 i = 0; i < volumeCount; ++i) volumeSizes[i] = header.U32() & 0xFFFFF;
  u32 recordCount = header.Take(1) ? data[header.Position() - 1] & 31u : 0;
  core::Array<i32> recordSizes;
  for (u32 i = 0; i < recordCount; ++i) recordSizes.Append(static_cast<i32>(header.U32()));
  if (header.Failed()) return 0;
  layout.compressed = (flags & 1) != 0;
  layout.maxDecompressedSize = format::MaxRecordBytes(recordSizes);

  const u8* rest = data + header.Position();
  size_t restSize = size - header.Position();
  size_t installerBytes = layout.bytesInProgramFile > 0 ? static_cast<size_t>(layout.bytesInProgramFile) : 0;
  if (installerBytes > restSize) installerBytes = restSize;
  format::MemorySource installer(rest, static_cast<i64>(installerBytes));
  FuzzVolumes volumes;
  size_t at = installerBytes;
  for (u32 i = 0; i < volumeCount; ++i) {
    size_t take = volumeSizes[i] < restSize - at ? volumeSizes[i] : restSize - at;
    volumes.Add(rest + at, static_cast<i64>(take));
    at += take;
  }

  format::FileStreamBytes stream;
  if (format::AssembleFileStream(&installer, layout, &volumes, stream) != 0) return 0;
  if (flags & 2) layout.checksum = format::Checksum32(stream.Data(), static_cast<i64>(stream.Size()));
  if (format::CheckFileStream(layout, stream) != 0 || format::DecodeFileStream(layout, stream) != 0) return 0;
  format::FileRecordReader reader(stream.Data(), stream.Size());
  for (i32 recordSize : recordSizes) {
    format::FileRecord record;
    if (reader.Next(recordSize, record) != 0) break;
  }
  return 0;
}
