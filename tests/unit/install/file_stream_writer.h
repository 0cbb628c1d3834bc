// Building file data streams for the tests of the file loop: records as the
// builder writes them (name, type, flags, data, checksum, stamp, texts), the
// installer's own bytes as a ByteSource, and volume files.
#pragma once

#include <string>
#include <vector>

#include "core/array.h"
#include "format/byte_source.h"
#include "format/byte_writer.h"
#include "format/checksum.h"
#include "format/file_stamp.h"

namespace kova::test {

struct TestRecord {
  std::string name;
  u32 type = 0;
  u32 flags = 0;
  std::string data;
  format::FileStamp stamp;
  std::string text1;
  std::string text2;  // written only with flag 0x1 or 0x2
  std::string text3;
};

inline void AppendRecord(ByteWriter& out, const TestRecord& record) {
  out.Text(record.name).U32(record.type).U32(record.flags);
  out.Raw(record.data.data(), record.data.size());
  out.U32(format::Checksum32(reinterpret_cast<const u8*>(record.data.data()), static_cast<i64>(record.data.size())));
  const format::FileStamp& s = record.stamp;
  out.I32(s.year).I32(s.month).I32(s.day).I32(s.hour).I32(s.minute).I32(s.second);
  out.Text(record.text1);
  if (record.flags & 0x3) out.Text(record.text2);
  out.Text(record.text3);
}

inline std::vector<u8> RecordsStream(const std::vector<TestRecord>& records) {
  ByteWriter out;
  for (const TestRecord& record : records) AppendRecord(out, record);
  return out.bytes;
}

inline core::Array<i32> SizesOf(const std::vector<TestRecord>& records) {
  core::Array<i32> sizes;
  for (const TestRecord& record : records) sizes.Append(static_cast<i32>(record.data.size()));
  return sizes;
}

inline u32 ChecksumOf(const std::vector<u8>& bytes) {
  return format::Checksum32(bytes.data(), static_cast<i64>(bytes.size()));
}

// The installer's own file in memory; counts the reads so a test can tell
// the stream was read once.
class VectorSource final : public format::ByteSource {
 public:
  explicit VectorSource(std::vector<u8> bytes) : bytes_(std::move(bytes)) {}
  i64 Size() override { return static_cast<i64>(bytes_.size()); }
  bool ReadAt(i64 position, u8* buffer, i64 n) override {
    ++reads;
    if (position < 0 || n < 0 || position > Size() || n > Size() - position) return false;
    for (i64 i = 0; i < n; ++i) buffer[i] = bytes_[static_cast<std::size_t>(position + i)];
    return true;
  }
  int reads = 0;

 private:
  std::vector<u8> bytes_;
};

inline format::FileStamp Stamp(i32 year, i32 month, i32 day, i32 hour = 12, i32 minute = 0, i32 second = 0) {
  return format::FileStamp{year, month, day, hour, minute, second};
}

}  // namespace kova::test
