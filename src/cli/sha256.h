// SHA-256 of a byte stream, for the file hashes of a snapshot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kova::cli {

class Sha256 {
 public:
  Sha256();
  void Add(const void* data, std::size_t length);
  // The digest as 64 lowercase hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t buffer_[64];
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace kova::cli
