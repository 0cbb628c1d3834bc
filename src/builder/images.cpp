// Icons and bitmaps; see images.h.
#include "builder/images.h"

#include <cstdio>

#include "format/byte_reader.h"

namespace kova::builder {

using format::LoadLe16;
using format::LoadLe32;

bool IsIconPatchImage(std::span<const u8> bytes) {
  // biSize 40, 32 wide, 64 high (image and mask), one plane, 8 bits, BI_RGB.
  const u8* p = bytes.data();
  return bytes.size() == kIconImageBytes && LoadLe32(p) == 40 && LoadLe32(p + 4) == 32 && LoadLe32(p + 8) == 64 &&
         LoadLe16(p + 12) == 1 && LoadLe16(p + 14) == 8 && LoadLe32(p + 16) == 0;
}

bool ReadIconPatch(std::span<const u8> icoFile, std::vector<u8>& image, std::string& error) {
  if (icoFile.size() < 6 || LoadLe16(icoFile.data()) != 0 || LoadLe16(icoFile.data() + 2) != 1) {
    error = "not an icon file (.ico)";
    return false;
  }
  u32 count = LoadLe16(icoFile.data() + 4);
  if (icoFile.size() < 6 + static_cast<std::size_t>(count) * 16) {
    error = "the icon file's directory is cut short";
    return false;
  }
  std::string found;
  for (u32 i = 0; i < count; ++i) {
    std::size_t entry = 6 + static_cast<std::size_t>(i) * 16;
    u32 width = icoFile[entry] ? icoFile[entry] : 256;
    u32 height = icoFile[entry + 1] ? icoFile[entry + 1] : 256;
    u32 size = LoadLe32(icoFile.data() + entry + 8);
    u32 offset = LoadLe32(icoFile.data() + entry + 12);
    if (offset > icoFile.size() || size > icoFile.size() - offset) {
      error = "an image of the icon file lies past its end";
      return false;
    }
    std::span<const u8> bytes = icoFile.subspan(offset, size);
    if (IsIconPatchImage(bytes)) {
      image.assign(bytes.begin(), bytes.end());
      return true;
    }
    char buffer[64];
    u32 bits = bytes.size() >= 16 && LoadLe32(bytes.data()) == 40 ? LoadLe16(bytes.data() + 14)
                                                                   : LoadLe16(icoFile.data() + entry + 6);
    std::snprintf(buffer, sizeof buffer, "%s%ux%u %u-bit", found.empty() ? "" : ", ", width, height, bits);
    found += buffer;
  }
  error = "the icon file has no 32x32 image with 256 colours (8 bits, uncompressed), which the uninstaller icon "
          "must be; it holds: " +
          (found.empty() ? std::string("no images") : found);
  return false;
}

bool ReadBackgroundBitmap(std::span<const u8> bmpFile, std::vector<u8>& dib, std::string& error) {
  if (bmpFile.size() < 14 + 12 || bmpFile[0] != 'B' || bmpFile[1] != 'M') {
    error = "not a bitmap file (.bmp)";
    return false;
  }
  std::span<const u8> body = bmpFile.subspan(14);
  u32 headerSize = LoadLe32(body.data());
  i64 width, height;
  u32 bitCount, colours, entrySize;
  if (headerSize == 12) {
    width = LoadLe16(body.data() + 4);
    height = static_cast<int16_t>(LoadLe16(body.data() + 6));
    bitCount = LoadLe16(body.data() + 10);
    colours = bitCount < 24 ? 1u << bitCount : 0;
    entrySize = 3;
  } else if (headerSize == 40 && body.size() >= 40) {
    width = static_cast<int32_t>(LoadLe32(body.data() + 4));
    height = static_cast<int32_t>(LoadLe32(body.data() + 8));
    bitCount = LoadLe16(body.data() + 14);
    if (LoadLe32(body.data() + 16) != 0) {
      error = "the bitmap is compressed or uses bit fields; save it uncompressed (BI_RGB)";
      return false;
    }
    colours = LoadLe32(body.data() + 32);
    if (colours == 0 && bitCount < 24) colours = 1u << bitCount;
    entrySize = 4;
  } else {
    error = "the bitmap has a " + std::to_string(headerSize) +
            "-byte header; the setup window reads only the 40-byte BITMAPINFOHEADER (or the old 12-byte one): "
            "save it as a plain Windows BMP";
    return false;
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    error = "the bitmap has " + std::to_string(bitCount) + " bits per pixel";
    return false;
  }
  if (width <= 0 || height == 0 || colours > 256) {
    error = "the bitmap's size or palette is not valid";
    return false;
  }
  u64 bitsOffset = headerSize + static_cast<u64>(colours) * entrySize;
  u64 rowBytes = (static_cast<u64>(width) * bitCount + 31) / 32 * 4;
  u64 pixelBytes = rowBytes * static_cast<u64>(height < 0 ? -height : height);
  // The file says where its pixels start; the packed form has them right
  // after the palette, so a gap between the two is dropped.
  u64 pixelsAt = LoadLe32(bmpFile.data() + 10);
  if (pixelsAt < 14 + bitsOffset || bitsOffset > body.size()) {
    error = "the bitmap's pixel offset points into its header or palette";
    return false;
  }
  if (pixelsAt > bmpFile.size() || pixelBytes > bmpFile.size() - pixelsAt) {
    error = "the bitmap's pixel data is cut short";
    return false;
  }
  dib.assign(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(bitsOffset));
  auto pixels = bmpFile.begin() + static_cast<std::ptrdiff_t>(pixelsAt);
  dib.insert(dib.end(), pixels, pixels + static_cast<std::ptrdiff_t>(pixelBytes));
  return true;
}

}  // namespace kova::builder
