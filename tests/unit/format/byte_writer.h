// A little-endian byte writer for building archive fixtures in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kova::test {

class ByteWriter {
 public:
  ByteWriter& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  ByteWriter& U16(uint32_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  ByteWriter& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ByteWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  ByteWriter& Text(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return U8(0);
  }
  ByteWriter& Raw(const void* data, size_t n) {
    auto p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
    return *this;
  }
  ByteWriter& Fill(uint8_t value, size_t n) {
    bytes.insert(bytes.end(), n, value);
    return *this;
  }
  void PutU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  size_t Size() const { return bytes.size(); }
  const uint8_t* Data() const { return bytes.data(); }

  std::vector<uint8_t> bytes;
};

}  // namespace kova::test
