// Fuzz target: encoder and decoder together. Whatever the input, each level
// must produce a block that decodes to exactly that input.
//
// Input: the first byte picks the level, the rest is the data to compress.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "builder/encoder.h"
#include "format/decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  auto level = data[0] & 1 ? kova::builder::CompressionLevel::kBest : kova::builder::CompressionLevel::kFast;
  std::span<const std::uint8_t> input(data + 1, size - 1);

  std::vector<std::uint8_t> block;
  if (!kova::builder::CompressBlock(input, level, block)) std::abort();
  std::vector<std::uint8_t> output(input.size());
  if (!kova::format::DecompressInto(block.data(), block.size(), output.data(), output.size())) std::abort();
  if (!input.empty() && std::memcmp(output.data(), input.data(), input.size()) != 0) std::abort();
  return 0;
}
