// Fuzz target: the file-record reader and the PE version-resource reader
// over arbitrary bytes. The first byte gives the number of records (up to
// 31), the next four bytes per record their data sizes, the rest is the
// stream; the same bytes are then read as a PE image and as a version block.
#include <cstddef>
#include <cstdint>

#include "core/array.h"
#include "format/file_record.h"
#include "platform/posix/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  if (size < 1) return 0;
  size_t count = data[0] & 31;
  size_t at = 1;
  core::Array<i32> sizes;
  for (size_t i = 0; i < count && at + 4 <= size; ++i, at += 4)
    sizes.Append(static_cast<i32>(static_cast<u32>(data[at]) | static_cast<u32>(data[at + 1]) << 8 |
                                  static_cast<u32>(data[at + 2]) << 16 | static_cast<u32>(data[at + 3]) << 24));
  format::FileRecordReader reader(data + at, size - at);
  for (i32 dataSize : sizes) {
    format::FileRecord record;
    if (reader.Next(dataSize, record) != 0) break;
  }

  platform::posix::MemoryImage image{data, size};
  core::ByteBuffer resource;
  if (platform::posix::ReadVersionResource(platform::posix::BytesOf(image), resource))
    platform::posix::VersionBlockText(resource.Data(), resource.Size(), "\\StringFileInfo\\040904E4\\FileVersion");
  platform::posix::VersionBlockText(data, size, "\\StringFileInfo\\040904E4\\FileVersion");
  return 0;
}
