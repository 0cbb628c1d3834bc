// Decoder of compressed blocks: the install script and, when the archive says
// so, the whole file data stream are stored this way.
//
// A block is the magic 0x9EC72BA1 (u32 little-endian), the output size (i32
// little-endian) and an LSB-first bit stream of tokens:
//   0  number(2,2) = n - 1, then n bytes         literal run
//   11 8-bit byte, number(1,1) = count - 3        byte run
//   10 number(2,1) = length - 4,                  back copy from `distance`
//      number(12,2) = distance - 4                bytes back, length <= distance
// Decoding succeeds only when the tokens produce exactly the output size;
// every read past the end of the stream, a copy reaching before the start or
// overlapping its own output, and a token running past the output size fail.
// Bits left after the last token are ignored.
#pragma once

#include "core/byte_buffer.h"
#include "core/types.h"

namespace kova::format {

inline constexpr u32 kBlockMagic = 0x9EC72BA1u;
inline constexpr std::size_t kBlockHeaderSize = 8;

// The declared output size of a block, or -1 when the block is shorter than
// its header, its magic is wrong or the declared size is negative.
i64 BlockOutputSize(const u8* block, std::size_t blockSize);

// Decodes a whole block (header included) into out[0, outSize), which must
// not overlap the block. outSize must equal the declared output size. Never
// reads outside the block nor writes outside out[0, outSize); on failure out
// holds unspecified bytes.
bool DecompressInto(const u8* block, std::size_t blockSize, u8* out, std::size_t outSize);

// Decodes a whole block into out, which is replaced only on success. The
// declared size comes from untrusted input, so a block declaring more than
// maxOutputSize bytes fails before anything is allocated.
bool DecompressBlock(const u8* block, std::size_t blockSize, std::size_t maxOutputSize, core::ByteBuffer& out);

// Replaces the compressed block in buffer by its decompressed bytes. The
// declared size comes from untrusted input, so a block declaring more than
// maxOutputSize bytes fails before anything is allocated. On failure the
// buffer keeps the compressed block unchanged.
bool Decompress(core::ByteBuffer& buffer, std::size_t maxOutputSize);

}  // namespace kova::format
