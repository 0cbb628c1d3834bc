// The fast decoder of compressed blocks; format in decompress.h.
//
// The bit stream is read through a 64-bit buffer reloaded eight bytes at a
// time, so every read is a shift and a mask instead of a loop over bits. Its
// results equal those of the plain BitReader: the only places where that
// reader behaves specially at the end of the stream (ReadBit returning 0
// without moving, a number with fewer than two bits left) always end in a
// failed read, so here any read past the end simply fails.
//
// Two paths, as in LZ4's decoder. While kInputMargin bytes of input remain,
// the fast path reloads without checks and parses tokens kLookahead ahead of
// writing them, prefetching the sources of back copies; copies are written
// 16 or 32 bytes at a time while the output has room for the overrun. Near
// the end of the input, and for numbers too long for the buffered bits, the
// careful path decodes one token with every read checked. All lengths are
// checked against the remaining output before anything is written, in 64-bit
// arithmetic, so a damaged number can neither wrap around nor run past the
// buffer.
#include "format/decompress.h"

#include <cstring>

#include "core/memory.h"
#include "format/byte_reader.h"

namespace kova::format {
namespace {

// Room after the output that the wide copies may overwrite.
constexpr std::size_t kWideMargin = 32;

// Output sizes allocated without reading the tokens first: up to this many
// times the block's size, plus a floor.
constexpr u64 kPlainRatio = 16;
constexpr u64 kAlwaysBelieved = u64{1} << 20;

inline u64 Load64(const u8* p) {
  u64 v;
  std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

inline void Store64(u8* p, u64 v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  std::memcpy(p, &v, 8);
}

#define KOVA_DECODE_INLINE inline __attribute__((always_inline))

// Copies 16 bytes through a register: source and destination may overlap
// when a short back copy's overrun reads its own output.
inline void Copy16(u8* to, const u8* from) {
  u8 chunk[16];
  std::memcpy(chunk, from, 16);
  std::memcpy(to, chunk, 16);
}

// The bit buffer. Bits above count are either zero or the true next bits of
// the stream, so reloading over them is harmless.
struct BitState {
  const u8* next;
  u64 bits;
  u32 count;
};

// Needs 8 readable bytes at next. Leaves 56 to 63 bits buffered.
KOVA_DECODE_INLINE void RefillFast(BitState& s) {
  s.bits |= Load64(s.next) << s.count;
  s.next += (63 - s.count) >> 3;
  s.count |= 56;
}

// Leaves at least 56 bits buffered, or all that remain.
KOVA_DECODE_INLINE void RefillCareful(BitState& s, const u8* end) {
  if (end - s.next >= 8) {
    RefillFast(s);
    return;
  }
  while (s.count < 56 && s.next < end) {
    s.bits |= static_cast<u64>(*s.next++) << s.count;
    s.count += 8;
  }
}

KOVA_DECODE_INLINE void Consume(BitState& s, u32 n) {
  s.bits >>= n;
  s.count -= n;
}

// Ones at the bottom of the buffer (at most 63).
KOVA_DECODE_INLINE u32 LeadingOnes(u64 bits) {
  return static_cast<u32>(__builtin_ctzll(~bits | (u64{1} << 63)));
}

KOVA_DECODE_INLINE u32 NumberWidth(u32 base, u32 step, u64 ones) {
  u64 width = base + ones * step;
  return width > 32 ? 32 : static_cast<u32>(width);
}

// n bytes of the stream from bit position on; the n + 1 bytes it touches
// (n when aligned) have been checked to exist.
void CopyUnaligned(u8* out, const u8* from, u32 shift, u64 n) {
  if (shift == 0) {
    std::memcpy(out, from, n);
    return;
  }
  u64 i = 0;
  for (; i + 8 <= n; i += 8)
    Store64(out + i, (Load64(from + i) >> shift) | (static_cast<u64>(from[i + 8]) << (64 - shift)));
  for (; i < n; ++i) out[i] = static_cast<u8>((from[i] >> shift) | (from[i + 1] << (8 - shift)));
}

// Everything one decoding needs to know about its buffers.
struct Frame {
  const u8* start;  // the bit stream
  const u8* end;
  u8* out;
  u8* outEnd;
  u8* wideEnd;  // while op + length <= wideEnd a copy may overrun by kWideMargin
};

// Places the reader past a literal run's n bytes. False when the stream
// holds fewer than 8 * n bits.
bool SkipLiterals(const Frame& f, BitState& s, u64 n) {
  u64 remaining = static_cast<u64>(f.end - s.next) * 8 + s.count;
  if (remaining < 8 * n) return false;
  u64 position = static_cast<u64>(s.next - f.start) * 8 - s.count + 8 * n;
  s.next = f.start + (position >> 3);
  s.bits = 0;
  s.count = 0;
  RefillCareful(s, f.end);
  Consume(s, static_cast<u32>(position & 7));
  return true;
}

// The general reader: any prefix length, and every read checked against the
// end of the stream.
bool CarefulNumber(const Frame& f, BitState& s, u32 base, u32 step, u64* value) {
  u64 ones = 0;
  for (;;) {
    RefillCareful(s, f.end);
    if (s.count == 0) return false;  // the value bits cannot follow
    u32 run = LeadingOnes(s.bits);
    if (run < s.count) {
      ones += run;
      Consume(s, run + 1);
      break;
    }
    ones += s.count;
    Consume(s, s.count);
  }
  u32 width = NumberWidth(base, step, ones > 64 ? 64 : ones);
  if (s.count < width) {
    RefillCareful(s, f.end);
    if (s.count < width) return false;
  }
  *value = s.bits & ((u64{1} << width) - 1);
  Consume(s, width);
  return true;
}

struct Cursor {
  BitState bits;
  u8* op;
};

// How a token is written: copied (from earlier output, or a short run's own
// bytes in the fast path), copied from the stream at a bit position, or
// filled with one byte.
enum class Kind : u8 { kCopy, kLiterals, kFill };

// A token as the careful reader finds it, with what writing it takes.
struct CarefulRead {
  Kind kind;
  u64 length;
  u64 distance;  // kCopy: how far back
  u64 position;  // kLiterals: the bit position of the bytes in the stream
  u8 byte;       // kFill
};

// Reads one token with every check, against the produced bytes before it
// and the room left after them; writes nothing.
bool ReadCarefully(const Frame& f, BitState& s, u64 produced, u64 room, CarefulRead& t) {
  RefillCareful(s, f.end);
  // Fewer than 2 bits: whatever the token, its next read fails.
  if (s.count < 2) return false;
  u64 head = s.bits;
  u64 value;
  if ((head & 1) == 0) {
    Consume(s, 1);
    if (!CarefulNumber(f, s, 2, 2, &value)) return false;
    t.kind = Kind::kLiterals;
    t.length = value + 1;
    t.position = static_cast<u64>(s.next - f.start) * 8 - s.count;
    return t.length <= room && SkipLiterals(f, s, t.length);
  }
  Consume(s, 2);
  if (head & 2) {
    RefillCareful(s, f.end);
    if (s.count < 8) return false;
    t.byte = static_cast<u8>(s.bits);
    Consume(s, 8);
    if (!CarefulNumber(f, s, 1, 1, &value)) return false;
    t.kind = Kind::kFill;
    t.length = value + 3;
    return t.length <= room;
  }
  if (!CarefulNumber(f, s, 2, 1, &value)) return false;
  t.length = value + 4;
  if (!CarefulNumber(f, s, 12, 2, &value)) return false;
  t.kind = Kind::kCopy;
  t.distance = value + 4;
  return t.distance >= t.length && t.distance <= produced && t.length <= room;
}

// Decodes one token with every check; used near the end of the stream and
// for the rare numbers the fast path does not take.
__attribute__((noinline)) bool CarefulToken(const Frame& f, Cursor& c) {
  CarefulRead t;
  if (!ReadCarefully(f, c.bits, static_cast<u64>(c.op - f.out), static_cast<u64>(f.outEnd - c.op), t)) return false;
  if (t.kind == Kind::kLiterals)
    CopyUnaligned(c.op, f.start + (t.position >> 3), static_cast<u32>(t.position & 7), t.length);
  else if (t.kind == Kind::kFill)
    std::memset(c.op, t.byte, t.length);
  else
    std::memcpy(c.op, c.op - t.distance, t.length);
  c.op += t.length;
  return true;
}

// Whether the stream's tokens produce exactly size bytes: read with the
// decoder's own checks, writing nothing.
bool ProducesExactly(const u8* stream, std::size_t streamSize, u64 size) {
  Frame f{stream, stream + streamSize, nullptr, nullptr, nullptr};
  BitState s{stream, 0, 0};
  CarefulRead t;
  for (u64 produced = 0; produced < size; produced += t.length)
    if (!ReadCarefully(f, s, produced, size - produced, t)) return false;
  return true;
}

// Input bytes that must remain for the fast path: parsing one token (a short
// literal run's bytes included) reads at most 32 bytes past the reader's
// next byte.
constexpr std::ptrdiff_t kInputMargin = 48;

// The fast path parses this many tokens ahead of the copying and prefetches
// the sources of back copies. There is no window limit, so sources are often
// megabytes back; fetching several at once hides most of the memory latency.
constexpr u32 kLookahead = 16;

enum class Step { kParsed, kFailed, kCareful };

// A parsed token. Nearly all are "copy length bytes from `from`": back
// copies from earlier output, and literal runs and byte runs of up to 32
// bytes from the token's own bytes, so that running a token seldom depends
// on its kind. Longer literal runs are copied from the stream at their bit
// position and longer byte runs are filled.
struct Token {
  const u8* from;
  u64 length;
  u64 position;  // kLiterals: bit position in the stream
  u8 bytes[32];  // short literals or a byte run's pattern (kFill: bytes[0])
  Kind kind;
};

constexpr u64 kShortLiterals = 16;
constexpr u64 kShortRun = 32;

// A number in the fast path, without checks on the input (the margin covers
// it). The token's first number finds at least 46 bits buffered, a copy's
// distance what its length left (usually 40 or more); a number whose prefix
// and value do not fit reloads after the prefix, and a prefix reaching past
// the buffered bits goes to the careful path.
KOVA_DECODE_INLINE bool FastNumber(BitState& s, u32 base, u32 step, u64* value) {
  u32 ones = LeadingOnes(s.bits);
  u32 width = NumberWidth(base, step, ones);
  if (ones + 1 + width > s.count) [[unlikely]] {
    if (ones >= s.count) return false;
    Consume(s, ones + 1);
    RefillFast(s);
  } else {
    Consume(s, ones + 1);
  }
  *value = s.bits & ((u64{1} << width) - 1);
  Consume(s, width);
  return true;
}

// 8 bytes of the stream from bit position on: two loads, whatever the shift
// ((x << 1) << (63 - shift) is x << (64 - shift), and 0 when aligned).
KOVA_DECODE_INLINE u64 StreamWord(const u8* start, u64 position) {
  const u8* from = start + (position >> 3);
  u32 shift = static_cast<u32>(position & 7);
  return (Load64(from) >> shift) | ((Load64(from + 8) << 1) << (63 - shift));
}

// Places the reader at bit position; needs 8 readable bytes there.
KOVA_DECODE_INLINE void SeekFast(const Frame& f, BitState& s, u64 position) {
  s.next = f.start + (position >> 3);
  u32 shift = static_cast<u32>(position & 7);
  s.bits = Load64(s.next) >> shift;
  s.count = 56 - shift;
  s.next += 7;
}

// Parses one token while kInputMargin bytes of input remain and checks it
// against the output as it will be when the tokens before it have run: op is
// that future position and moves past the token.
KOVA_DECODE_INLINE Step ParseToken(const Frame& f, BitState& s, u8*& op, Token& t) {
  RefillFast(s);
  u64 head = s.bits;
  u64 room = static_cast<u64>(f.outEnd - op);
  u64 value;
  if ((head & 1) == 0) {
    Consume(s, 1);
    if (!FastNumber(s, 2, 2, &value)) return Step::kCareful;
    u64 n = value + 1;
    if (n > room) return Step::kFailed;
    t.length = n;
    if (8 * n <= s.count) {
      // The commonest run, a few bytes, is in the buffer already.
      Store64(t.bytes, s.bits);
      t.from = t.bytes;
      t.kind = Kind::kCopy;
      Consume(s, static_cast<u32>(8 * n));
      op += n;
      return Step::kParsed;
    }
    u64 position = static_cast<u64>(s.next - f.start) * 8 - s.count;
    if (n <= kShortLiterals) {
      // Inside the margin, so the bytes are there; reads 24 bytes from here.
      Store64(t.bytes, StreamWord(f.start, position));
      Store64(t.bytes + 8, StreamWord(f.start, position + 64));
      t.from = t.bytes;
      t.kind = Kind::kCopy;
      SeekFast(f, s, position + 8 * n);
    } else {
      u64 remaining = static_cast<u64>(f.end - f.start) * 8 - position;
      if (remaining < 8 * n) return Step::kFailed;
      t.position = position;
      t.kind = Kind::kLiterals;
      position += 8 * n;
      s.next = f.start + (position >> 3);
      s.bits = 0;
      s.count = 0;
      RefillCareful(s, f.end);
      Consume(s, static_cast<u32>(position & 7));
    }
    op += n;
    return Step::kParsed;
  }
  Consume(s, 2);
  if (head & 2) {
    u8 byte = static_cast<u8>(s.bits);  // 54 bits buffered
    Consume(s, 8);
    if (!FastNumber(s, 1, 1, &value)) return Step::kCareful;
    u64 count = value + 3;
    if (count > room) return Step::kFailed;
    t.length = count;
    if (count <= kShortRun) {
      u64 pattern = 0x0101010101010101ull * byte;
      for (int i = 0; i < 32; i += 8) Store64(t.bytes + i, pattern);
      t.from = t.bytes;
      t.kind = Kind::kCopy;
    } else {
      t.bytes[0] = byte;
      t.kind = Kind::kFill;
    }
    op += count;
    return Step::kParsed;
  }
  if (!FastNumber(s, 2, 1, &value)) return Step::kCareful;
  u64 length = value + 4;
  // No reload before the distance: the few bits of a length seldom leave too
  // few for it, and FastNumber reloads when they do.
  if (!FastNumber(s, 12, 2, &value)) return Step::kCareful;
  u64 distance = value + 4;
  // Source and destination never overlap: length <= distance <= written.
  if (distance < length || distance > static_cast<u64>(op - f.out) || length > room) return Step::kFailed;
  t.from = op - distance;
  __builtin_prefetch(t.from);
  t.length = length;
  t.kind = Kind::kCopy;
  op += length;
  return Step::kParsed;
}

// Writes a parsed token at op; wide copies only while the margin allows.
// A short copy's wide read may run into the output it is writing, but only
// for bytes past its own length, which later tokens overwrite.
KOVA_DECODE_INLINE void RunToken(const Frame& f, const Token& t, u8*& op) {
  u64 length = t.length;
  bool wide = op + length <= f.wideEnd;
  if (t.kind == Kind::kCopy) [[likely]] {
    if (wide) [[likely]] {
      Copy16(op, t.from);
      Copy16(op + 16, t.from + 16);
      for (u64 i = 32; i < length; i += 16) Copy16(op + i, t.from + i);
    } else {
      std::memcpy(op, t.from, length);
    }
  } else if (t.kind == Kind::kLiterals) {
    const u8* from = f.start + (t.position >> 3);
    u32 shift = static_cast<u32>(t.position & 7);
    if (wide && length <= 64 && from + length + 16 <= f.end) {
      for (u64 i = 0; i < length; i += 8) Store64(op + i, StreamWord(f.start, t.position + 8 * i));
    } else {
      CopyUnaligned(op, from, shift, length);
    }
  } else {
    std::memset(op, t.bytes[0], length);
  }
  op += length;
}

// Decodes stream into out[0, outSize); out has outCapacity >= outSize bytes
// of storage, of which the part past outSize may be scribbled on.
bool DecodeStream(const u8* stream, std::size_t streamSize, u8* out, std::size_t outSize,
                  std::size_t outCapacity) {
  Frame f{stream, stream + streamSize, out, out + outSize,
          outCapacity >= kWideMargin ? out + (outCapacity - kWideMargin) : out};
  BitState s{stream, 0, 0};
#if defined(KOVA_COMPACT_DECODER)
  // The stub's build: every token through the careful path. A few times
  // slower, some 6 KiB smaller in every installer.
  Cursor compact{s, out};
  while (compact.op < f.outEnd)
    if (!CarefulToken(f, compact)) return false;
  return true;
#endif
  u8* op = out;         // where the next token runs
  u8* parsedOp = out;   // where the output ends once the parsed tokens have run
  Token queue[kLookahead] = {};
  u32 parsed = 0, ran = 0;  // counts; queue slots are count % kLookahead
  while (parsedOp < f.outEnd) {
    if (f.end - s.next >= kInputMargin) {
      BitState saved = s;
      Token& t = queue[parsed % kLookahead];
      Step step = ParseToken(f, s, parsedOp, t);
      if (step == Step::kParsed) {
        if (++parsed - ran == kLookahead) RunToken(f, queue[ran++ % kLookahead], op);
        continue;
      }
      if (step == Step::kFailed) return false;
      s = saved;
    }
    // Near the end of the input, or a number the fast path does not take.
    while (ran != parsed) RunToken(f, queue[ran++ % kLookahead], op);
    Cursor c{s, op};
    if (!CarefulToken(f, c)) return false;
    s = c.bits;
    op = parsedOp = c.op;
  }
  while (ran != parsed) RunToken(f, queue[ran++ % kLookahead], op);
  return true;
}

}  // namespace

i64 BlockOutputSize(const u8* block, std::size_t blockSize) {
  if (block == nullptr || blockSize < kBlockHeaderSize) return -1;
  if (LoadLe32(block) != kBlockMagic) return -1;
  i32 size = static_cast<i32>(LoadLe32(block + 4));
  return size < 0 ? -1 : size;
}

bool DecompressInto(const u8* block, std::size_t blockSize, u8* out, std::size_t outSize) {
  i64 declared = BlockOutputSize(block, blockSize);
  if (declared < 0 || static_cast<u64>(declared) != outSize) return false;
  if (outSize > 0 && out == nullptr) return false;
  return DecodeStream(block + kBlockHeaderSize, blockSize - kBlockHeaderSize, out, outSize, outSize);
}

bool DecompressBlock(const u8* block, std::size_t blockSize, std::size_t maxOutputSize, core::ByteBuffer& out) {
  i64 declared = BlockOutputSize(block, blockSize);
  if (declared < 0 || static_cast<u64>(declared) > maxOutputSize) return false;
  std::size_t size = static_cast<std::size_t>(declared);
  // A few damaged bytes may declare up to 2 GiB. A size far beyond what the
  // block could hold in plain form is believed, and allocated, only once the
  // tokens are seen to produce it.
  if (static_cast<u64>(size) > kPlainRatio * blockSize + kAlwaysBelieved &&
      !ProducesExactly(block + kBlockHeaderSize, blockSize - kBlockHeaderSize, size))
    return false;
  // The margin lets the wide copies run right up to the last bytes.
  core::ByteBuffer output;
  output.Reserve(size + kWideMargin);
  core::PagesAhead ahead(output.Data(), size);
  if (!DecodeStream(block + kBlockHeaderSize, blockSize - kBlockHeaderSize, output.Data(), size, output.Capacity()))
    return false;
  output.SetSizeUnchecked(size);
  out = static_cast<core::ByteBuffer&&>(output);
  return true;
}

bool Decompress(core::ByteBuffer& buffer, std::size_t maxOutputSize) {
  // Decoded beside the block so that a failure leaves the block untouched.
  return DecompressBlock(buffer.Data(), buffer.Size(), maxOutputSize, buffer);
}

}  // namespace kova::format
