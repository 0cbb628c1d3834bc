// Fuzz target: the block decoder. The fast decoder must never read or write
// outside its buffers (the output is allocated at its exact size, so the
// sanitizer sees any overrun) and must agree with the bit-by-bit reference
// decoder on success and on the bytes produced.
//
// Input: a whole block when it starts with the block magic; otherwise the
// magic and an output size taken from the first two bytes are put in front
// of the rest, so that mutations spend their time in the bit stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../unit/format/block_test_support.h"
#include "core/byte_buffer.h"
#include "format/decompress.h"

namespace {

constexpr std::size_t kMaxOutput = 1 << 20;

std::vector<std::uint8_t> MakeBlock(const std::uint8_t* data, std::size_t size) {
  if (size >= 4) {
    std::uint32_t magic;
    std::memcpy(&magic, data, 4);
    if (magic == kova::format::kBlockMagic) return {data, data + size};
  }
  std::uint32_t declared = size >= 2 ? data[0] | data[1] << 8 : 0;
  std::vector<std::uint8_t> block;
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<std::uint8_t>(kova::format::kBlockMagic >> (8 * i)));
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
  if (size > 2) block.insert(block.end(), data + 2, data + size);
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> block = MakeBlock(data, size);

  kova::core::ByteBuffer buffer(block.data(), block.size());
  bool ok = kova::format::Decompress(buffer, kMaxOutput);
  if (!ok && (buffer.Size() != block.size() || std::memcmp(buffer.Data(), block.data(), block.size()) != 0))
    std::abort();  // a failed decoding must leave the block as it was

  kova::i64 declared = kova::format::BlockOutputSize(block.data(), block.size());
  if (declared < 0 || declared > static_cast<kova::i64>(kMaxOutput)) {
    if (ok) std::abort();
    return 0;
  }
  std::vector<std::uint8_t> exact(static_cast<std::size_t>(declared));
  bool intoOk = kova::format::DecompressInto(block.data(), block.size(), exact.data(), exact.size());
  std::vector<std::uint8_t> reference;
  bool referenceOk = kova::format::testing::ReferenceDecompress(block, &reference);
  if (ok != intoOk || ok != referenceOk) std::abort();
  if (ok) {
    if (reference.size() != buffer.Size() || exact != reference) std::abort();
    if (!reference.empty() && std::memcmp(buffer.Data(), reference.data(), reference.size()) != 0) std::abort();
  }
  return 0;
}
