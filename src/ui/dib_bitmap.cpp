// The background bitmap; see dib_bitmap.h. Drawing lives with the Win32
// front end (win32/dib_draw.cpp).
#include "ui/dib_bitmap.h"

#include "format/byte_reader.h"
#include "platform/file_system.h"
#include "ui/setup_window.h"

namespace kova::ui {
namespace {

constexpr u32 kFileHeaderBytes = 14;
constexpr u32 kCoreHeaderBytes = 12;  // BITMAPCOREHEADER
constexpr u32 kInfoHeaderBytes = 40;  // BITMAPINFOHEADER
constexpr u32 kRgb = 0;               // BI_RGB: uncompressed
constexpr u32 kBitFields = 3;         // BI_BITFIELDS: three masks after the header

bool IsDrawableBitCount(u32 bits, bool core) {
  if (bits == 1 || bits == 4 || bits == 8 || bits == 24) return true;
  return !core && (bits == 16 || bits == 32);
}

bool ReadWhole(platform::FileHandle file, u8* data, u32 size) {
  u32 done = 0;
  return platform::ReadFileData(file, data, size, &done) && done == size;
}

bool WriteWhole(platform::FileHandle file, const u8* data, u32 size) {
  u32 done = 0;
  return platform::WriteFileData(file, data, size, &done) && done == size;
}

}  // namespace

void DibBitmap::Clear() {
  core::ByteBuffer none;
  data_ = static_cast<core::ByteBuffer&&>(none);
  width_ = height_ = bitsOffset_ = colorCount_ = entrySize_ = 0;
  bitCount_ = 0;
}

bool DibBitmap::Parse() {
  const u8* p = data_.Data();
  u64 size = data_.Size();
  i64 width = 0, height = 0, colors = 0;
  u32 headerSize = 0, bits = 0, compression = kRgb;
  i32 entrySize = 0;
  if (size > kCoreHeaderBytes && size <= kMaxBytes) headerSize = format::LoadLe32(p);
  if (headerSize == kCoreHeaderBytes) {
    // The core header's sizes are 16-bit and unsigned, as GDI reads them.
    width = format::LoadLe16(p + 4);
    height = format::LoadLe16(p + 6);
    bits = format::LoadLe16(p + 10);
    if (IsDrawableBitCount(bits, true)) colors = bits < 24 ? i64{1} << bits : 0;
    entrySize = 3;
  } else if (headerSize == kInfoHeaderBytes && size >= kInfoHeaderBytes) {
    width = static_cast<i32>(format::LoadLe32(p + 4));
    height = static_cast<i32>(format::LoadLe32(p + 8));
    bits = format::LoadLe16(p + 14);
    compression = format::LoadLe32(p + 16);
    colors = static_cast<i32>(format::LoadLe32(p + 32));
    if (colors == 0 && bits < 24) colors = i64{1} << bits;
    entrySize = 4;
  }
  // Compressed pixels are refused: StretchDIBits would decode them as far as
  // the header's image size says, which nothing here can check. Bit fields
  // need their three masks, which GDI reads right after the header.
  bool drawable = entrySize != 0 && IsDrawableBitCount(bits, headerSize == kCoreHeaderBytes) &&
                  (compression == kRgb ||
                   (compression == kBitFields && (bits == 16 || bits == 32) && size >= kInfoHeaderBytes + 12));
  // A negative height (rows stored top-down) is drawn as GDI draws it; the
  // smallest one has no positive counterpart and is refused with the rest.
  drawable = drawable && width > 0 && height != 0 && height > INT32_MIN && colors >= 0 &&
             colors <= (i64{1} << 16);
  if (!drawable) return Clear(), false;
  u64 bitsOffset = headerSize + static_cast<u64>(colors) * static_cast<u64>(entrySize);
  u64 rowBytes = (static_cast<u64>(width) * bits + 31) / 32 * 4;
  u64 rows = static_cast<u64>(height < 0 ? -height : height);
  // Every pixel row must be present: size is at most kMaxBytes, so a row
  // count beyond it is refused before the product could overflow.
  if (bitsOffset > size || rows > size || rowBytes * rows > size - bitsOffset) return Clear(), false;
  width_ = static_cast<i32>(width);
  height_ = static_cast<i32>(height);
  bitCount_ = static_cast<u16>(bits);
  colorCount_ = static_cast<i32>(colors);
  entrySize_ = entrySize;
  bitsOffset_ = static_cast<i32>(bitsOffset);
  return true;
}

bool DibBitmap::LoadFromMemory(const u8* bytes, i32 n) {
  Clear();
  if (!bytes || n < 1 || static_cast<u32>(n) > kMaxBytes) return false;
  data_.Assign(bytes, static_cast<std::size_t>(n));
  return Parse();
}

bool DibBitmap::LoadFromFile(const char* path) {
  Clear();
  platform::ScopedFile file(platform::OpenFileHandle(path, platform::kAccessRead, platform::kShareRead,
                                                     platform::kOpenExisting, platform::kAttributeNormal));
  i64 length = 0;
  u8 header[kFileHeaderBytes];
  if (!file || !platform::FileLength(file.Get(), &length) || length < kFileHeaderBytes ||
      !ReadWhole(file.Get(), header, kFileHeaderBytes) || header[0] != 'B' || header[1] != 'M')
    return false;
  // The rest of the file, as far as the header's file size says; a size
  // beyond the file's end (or too small to mean anything) is not believed.
  u64 rest = static_cast<u64>(length) - kFileHeaderBytes;
  u64 declared = format::LoadLe32(header + 2);
  if (declared >= kFileHeaderBytes && declared - kFileHeaderBytes < rest) rest = declared - kFileHeaderBytes;
  if (rest > kMaxBytes) return false;
  data_.Resize(static_cast<std::size_t>(rest));
  if (!ReadWhole(file.Get(), data_.Data(), static_cast<u32>(rest))) return Clear(), false;
  return Parse();
}

bool DibBitmap::SaveToFile(const char* path) const {
  platform::ScopedFile file(platform::OpenFileHandle(path, platform::kAccessWrite, 0, platform::kCreateAlways,
                                                     platform::kAttributeNormal));
  if (!file) return false;
  u8 header[kFileHeaderBytes] = {'B', 'M'};
  format::StoreLe32(header + 2, static_cast<u32>(data_.Size() + kFileHeaderBytes));
  format::StoreLe32(header + 10, static_cast<u32>(bitsOffset_) + kFileHeaderBytes);
  if (WriteWhole(file.Get(), header, kFileHeaderBytes) &&
      (data_.IsEmpty() || WriteWhole(file.Get(), data_.Data(), static_cast<u32>(data_.Size()))))
    return true;
  file.Reset();
  platform::RemoveFile(path);
  return false;
}

}  // namespace kova::ui

namespace kova::ui {

// Allocated once and never freed, like the rest of the process-wide state:
// the stub ends through ExitProcess and runs no destructors.
DibBitmap& BackgroundBitmap() {
  static DibBitmap* bitmap = new DibBitmap;
  return *bitmap;
}

}  // namespace kova::ui
