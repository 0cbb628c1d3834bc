// DibBitmap: the setup window's background picture, a packed
// device-independent bitmap held the way a .BMP file holds it after its
// 14-byte file header: the bitmap header, the palette, the pixel rows. It is
// loaded from the install script's bytes or from "Installer Background.BMP",
// saved to that file for the uninstaller, and drawn stretched over the
// window (Windows only).
//
// Nothing is drawn from bytes that were not checked: Parse accepts a bitmap
// only when its header is one GDI reads (the 12-byte core header or the
// 40-byte info header), its width, height, bit count and compression are
// ones StretchDIBits draws without reading past the pixel rows, and the
// palette and every pixel row (rows padded to 4 bytes) lie inside the bytes
// present. Anything else leaves the bitmap empty.
#pragma once

#include "core/byte_buffer.h"
#include "core/types.h"

namespace kova::ui {

class DibBitmap {
 public:
  DibBitmap() = default;
  DibBitmap(const DibBitmap&) = delete;
  DibBitmap& operator=(const DibBitmap&) = delete;

  // Copies n bytes and parses them; false (and empty) for null bytes, n
  // below 1 or bytes that do not parse.
  bool LoadFromMemory(const u8* bytes, i32 n);
  // A .BMP file: "BM", then the rest of the file after the 14-byte file
  // header (up to the size the header gives, never beyond the file's real
  // end), parsed. False (and empty) when the file cannot be read or does not
  // parse.
  bool LoadFromFile(const char* path);
  // Writes the 14-byte file header ("BM", file size, two zeros, pixel
  // offset) and the data. False when the file cannot be created or written;
  // a file that could not be written whole is removed.
  bool SaveToFile(const char* path) const;
  // StretchDIBits of the whole image onto the rectangle (inclusive pixel
  // counts: right - left + 1 by bottom - top + 1) with the raster operation.
  // Nothing for a null device context or an empty bitmap. Windows only.
  void Draw(void* deviceContext, i32 left, i32 top, i32 right, i32 bottom, u32 rasterOperation) const;

  void Clear();
  bool IsEmpty() const { return width_ == 0; }

  i32 Width() const { return width_; }
  i32 Height() const { return height_; }  // negative for rows stored top-down
  i32 BitsOffset() const { return bitsOffset_; }
  i32 ColorCount() const { return colorCount_; }
  u16 BitCount() const { return bitCount_; }
  i32 PaletteEntrySize() const { return entrySize_; }
  const u8* Data() const { return data_.Data(); }
  std::size_t Size() const { return data_.Size(); }

  // The largest bitmap accepted, file or memory: far beyond any screen's
  // background, and well inside what a 32-bit size can hold.
  static constexpr u32 kMaxBytes = 256u << 20;

 private:
  bool Parse();

  core::ByteBuffer data_;
  i32 width_ = 0;
  i32 height_ = 0;
  i32 bitsOffset_ = 0;
  i32 colorCount_ = 0;
  u16 bitCount_ = 0;
  i32 entrySize_ = 0;
};

}  // namespace kova::ui
