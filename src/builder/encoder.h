// The encoder of compressed blocks, the inverse of payload/decompress: it
// turns a byte sequence into one block (magic, output size, bit stream) that
// the stub's decoder restores exactly.
//
// Two levels: kFast parses greedily with a hash table (hundreds of MB/s,
// for quick test builds); kBest searches a binary tree of earlier positions
// and chooses the cheapest token sequence by exact bit costs (slower, the
// default for release installers). Both are deterministic: the same input
// and level always give the same bytes.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/types.h"

namespace kova::builder {

enum class CompressionLevel { kFast, kBest };

// The output size field is a signed 32-bit value.
inline constexpr std::size_t kMaxBlockInput = 0x7FFFFFFF;

// Replaces block with the compressed form of input. Fails, leaving block
// empty, only when input is larger than kMaxBlockInput.
bool CompressBlock(std::span<const u8> input, CompressionLevel level, std::vector<u8>& block);

}  // namespace kova::builder
