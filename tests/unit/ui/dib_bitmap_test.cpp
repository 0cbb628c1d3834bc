// DibBitmap: what Parse accepts (header kinds, palettes, the pixel rows that
// must be present) and refuses, and the file round trip with the file
// header's size believed only as far as the file goes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "format/byte_reader.h"
#include "support/file_system_fixture.h"
#include "ui/dib_bitmap.h"

namespace kova::ui {
namespace {

using Bytes = std::vector<u8>;

// A packed bitmap with the 40-byte header: the given fields, a palette of
// paletteEntries 4-byte entries and pixelBytes bytes of pixels.
Bytes InfoBitmap(i32 width, i32 height, u16 bits, u32 compression, u32 colorsUsed, size_t paletteEntries,
                 size_t pixelBytes) {
  Bytes b(40 + paletteEntries * 4 + pixelBytes);
  format::StoreLe32(b.data(), 40);
  format::StoreLe32(b.data() + 4, static_cast<u32>(width));
  format::StoreLe32(b.data() + 8, static_cast<u32>(height));
  format::StoreLe16(b.data() + 12, 1);
  format::StoreLe16(b.data() + 14, bits);
  format::StoreLe32(b.data() + 16, compression);
  format::StoreLe32(b.data() + 32, colorsUsed);
  for (size_t i = 40; i < b.size(); ++i) b[i] = static_cast<u8>(i * 7);
  return b;
}

// The same with the 12-byte core header and 3-byte palette entries.
Bytes CoreBitmap(u16 width, u16 height, u16 bits, size_t paletteEntries, size_t pixelBytes) {
  Bytes b(12 + paletteEntries * 3 + pixelBytes);
  format::StoreLe32(b.data(), 12);
  format::StoreLe16(b.data() + 4, width);
  format::StoreLe16(b.data() + 6, height);
  format::StoreLe16(b.data() + 8, 1);
  format::StoreLe16(b.data() + 10, bits);
  return b;
}

struct Accepted {
  const char* name;
  Bytes bytes;
  i32 width, height, colors, entrySize, bitsOffset;
};

TEST(DibBitmap, ParsesTheHeadersGdiDraws) {
  const Accepted cases[] = {
      // 8 bits, core header: 256 entries of 3 bytes; rows of 5 pixels padded to 8.
      {"core 8-bit", CoreBitmap(5, 2, 8, 256, 16), 5, 2, 256, 3, 12 + 768},
      {"core 1-bit", CoreBitmap(33, 1, 1, 2, 8), 33, 1, 2, 3, 18},
      {"core 24-bit", CoreBitmap(2, 2, 24, 0, 16), 2, 2, 0, 3, 12},
      // 24 bits and no colours used: no palette at all.
      {"info 24-bit", InfoBitmap(3, 2, 24, 0, 0, 0, 24), 3, 2, 0, 4, 40},
      {"info 8-bit, 16 colours used", InfoBitmap(4, 1, 8, 0, 16, 16, 4), 4, 1, 16, 4, 104},
      {"info 4-bit, palette implied", InfoBitmap(8, 1, 4, 0, 0, 16, 4), 8, 1, 16, 4, 104},
      {"info 32-bit, top-down rows", InfoBitmap(1, -3, 32, 0, 0, 0, 12), 1, -3, 0, 4, 40},
      {"info 24-bit with a palette", InfoBitmap(1, 1, 24, 0, 2, 2, 4), 1, 1, 2, 4, 48},
      {"info 32-bit bit fields", InfoBitmap(2, 2, 32, 3, 0, 0, 16), 2, 2, 0, 4, 40},
  };
  for (const Accepted& c : cases) {
    DibBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadFromMemory(c.bytes.data(), static_cast<i32>(c.bytes.size()))) << c.name;
    EXPECT_FALSE(bitmap.IsEmpty()) << c.name;
    EXPECT_EQ(bitmap.Width(), c.width) << c.name;
    EXPECT_EQ(bitmap.Height(), c.height) << c.name;
    EXPECT_EQ(bitmap.ColorCount(), c.colors) << c.name;
    EXPECT_EQ(bitmap.PaletteEntrySize(), c.entrySize) << c.name;
    EXPECT_EQ(bitmap.BitsOffset(), c.bitsOffset) << c.name;
    EXPECT_EQ(Bytes(bitmap.Data(), bitmap.Data() + bitmap.Size()), c.bytes) << c.name;
  }
}

Bytes Patched(Bytes b, size_t at, u32 value) {
  format::StoreLe32(b.data() + at, value);
  return b;
}

Bytes Cut(Bytes b, size_t n) {
  b.resize(b.size() - n);
  return b;
}

TEST(DibBitmap, RefusesWhatCannotBeDrawnSafely) {
  const Bytes good = InfoBitmap(3, 2, 24, 0, 0, 0, 24);
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"12 bytes only", Bytes(good.begin(), good.begin() + 12)},
      {"a 108-byte header", Patched(good, 0, 108)},
      {"a 40-byte header cut short", Bytes(good.begin(), good.begin() + 30)},
      {"width 0", Patched(good, 4, 0)},
      {"negative width", Patched(good, 4, static_cast<u32>(-3))},
      {"height 0", Patched(good, 8, 0)},
      {"the smallest height", Patched(good, 8, 0x80000000u)},
      {"2 bits per pixel", InfoBitmap(3, 2, 2, 0, 0, 4, 8)},
      {"0 bits per pixel (a JPEG or PNG inside)", InfoBitmap(3, 2, 0, 4, 0, 0, 24)},
      {"run-length compressed", InfoBitmap(4, 1, 8, 1, 0, 256, 4)},
      {"bit fields at 24 bits", InfoBitmap(3, 2, 24, 3, 0, 0, 24)},
      {"a negative colour count", Patched(good, 32, 0xFFFFFFF0u)},
      {"an absurd colour count", Patched(good, 32, 0x7FFFFFFFu)},
      {"the palette cut", Cut(InfoBitmap(4, 1, 8, 0, 0, 256, 0), 4)},
      {"the last row one byte short", Cut(good, 1)},
      // Rows are padded to 4 bytes: 3 pixels of 24 bits take 12, not 9.
      {"unpadded rows", Cut(good, 6)},
      {"a row count beyond the bytes", Patched(good, 8, 0x7FFFFFFFu)},
      {"width times bits beyond the bytes", Patched(good, 4, 0x7FFFFFFFu)},
      {"core header at 16 bits", CoreBitmap(2, 2, 16, 0, 8)},
      {"core header with height 0", CoreBitmap(2, 0, 24, 0, 16)},
      {"core header, 8-bit palette cut", CoreBitmap(1, 1, 8, 255, 4)},
  };
  for (const auto& c : cases) {
    DibBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadFromMemory(good.data(), static_cast<i32>(good.size())));
    EXPECT_FALSE(bitmap.LoadFromMemory(c.bytes.data(), static_cast<i32>(c.bytes.size()))) << c.name;
    // A refused bitmap is empty: nothing of the earlier one is drawn.
    EXPECT_TRUE(bitmap.IsEmpty()) << c.name;
    EXPECT_EQ(bitmap.Size(), 0u) << c.name;
    EXPECT_EQ(bitmap.BitsOffset(), 0) << c.name;
  }
  DibBitmap bitmap;
  EXPECT_FALSE(bitmap.LoadFromMemory(nullptr, 40));
  EXPECT_FALSE(bitmap.LoadFromMemory(good.data(), 0));
  EXPECT_FALSE(bitmap.LoadFromMemory(good.data(), -1));
}

class DibBitmapFileTest : public test::FileSystemTest {
 protected:
  void PutBytes(const char* name, const Bytes& bytes) {
    platform::ScopedFile file(platform::OpenFileHandle(Path(name).CStr(), platform::kAccessWrite, 0,
                                                       platform::kCreateAlways, platform::kAttributeNormal));
    ASSERT_TRUE(file);
    u32 done = 0;
    ASSERT_TRUE(platform::WriteFileData(file.Get(), bytes.data(), static_cast<u32>(bytes.size()), &done));
  }
  Bytes GetBytes(const char* name) {
    std::string text = Get(name);
    return Bytes(text.begin(), text.end());
  }
  // A .BMP file: file header with the given size field, then the bitmap.
  static Bytes FileOf(const Bytes& dib, u32 sizeField, u32 offsetField) {
    Bytes file(14);
    file[0] = 'B';
    file[1] = 'M';
    format::StoreLe32(file.data() + 2, sizeField);
    format::StoreLe32(file.data() + 10, offsetField);
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
  }
};

TEST_F(DibBitmapFileTest, SaveThenLoadGivesTheSameBitmapBack) {
  const Bytes dib = InfoBitmap(5, 3, 8, 0, 4, 4, 24);
  DibBitmap saved;
  ASSERT_TRUE(saved.LoadFromMemory(dib.data(), static_cast<i32>(dib.size())));
  ASSERT_TRUE(saved.SaveToFile(Path("Installer Background.BMP").CStr()));
  // "BM", the file size, two zeros, the pixel offset, then the data.
  EXPECT_EQ(GetBytes("Installer Background.BMP"),
            FileOf(dib, static_cast<u32>(dib.size() + 14), static_cast<u32>(40 + 16 + 14)));
  DibBitmap loaded;
  ASSERT_TRUE(loaded.LoadFromFile(Path("Installer Background.BMP").CStr()));
  EXPECT_EQ(Bytes(loaded.Data(), loaded.Data() + loaded.Size()), dib);
  EXPECT_EQ(loaded.BitsOffset(), saved.BitsOffset());
  EXPECT_EQ(loaded.ColorCount(), 4);
}

TEST_F(DibBitmapFileTest, TheFileHeaderSizeIsBelievedOnlyWithinTheFile) {
  const Bytes dib = InfoBitmap(3, 2, 24, 0, 0, 0, 24);
  const u32 exact = static_cast<u32>(dib.size() + 14);
  struct {
    const char* name;
    u32 sizeField;
    size_t trailing;  // bytes after the bitmap in the file
    bool loads;
    size_t kept;      // bytes of data kept
  } cases[] = {
      {"exact", exact, 0, true, dib.size()},
      {"a size beyond the file", 0x7FFFFFF0u, 0, true, dib.size()},
      {"size 0 (written by careless tools)", 0, 0, true, dib.size()},
      {"trailing bytes beyond the size", exact, 10, true, dib.size()},
      {"a size that cuts the last row", exact - 1, 0, false, 0},
  };
  for (const auto& c : cases) {
    Bytes file = FileOf(dib, c.sizeField, 54);
    file.insert(file.end(), c.trailing, 0xAA);
    PutBytes("pic.bmp", file);
    DibBitmap bitmap;
    EXPECT_EQ(bitmap.LoadFromFile(Path("pic.bmp").CStr()), c.loads) << c.name;
    EXPECT_EQ(bitmap.Size(), c.kept) << c.name;
  }
}

TEST_F(DibBitmapFileTest, RefusesFilesThatAreNotBitmaps) {
  DibBitmap bitmap;
  EXPECT_FALSE(bitmap.LoadFromFile(Path("missing.bmp").CStr()));
  PutBytes("short.bmp", Bytes{'B', 'M', 1, 2});
  EXPECT_FALSE(bitmap.LoadFromFile(Path("short.bmp").CStr()));
  Bytes notBm = FileOf(InfoBitmap(3, 2, 24, 0, 0, 0, 24), 0, 54);
  notBm[1] = 'X';
  PutBytes("other.bmp", notBm);
  EXPECT_FALSE(bitmap.LoadFromFile(Path("other.bmp").CStr()));
  PutBytes("header-only.bmp", FileOf(Bytes(), 14, 14));
  EXPECT_FALSE(bitmap.LoadFromFile(Path("header-only.bmp").CStr()));
  EXPECT_TRUE(bitmap.IsEmpty());
  // Saving where no file can be made.
  EXPECT_FALSE(bitmap.SaveToFile(Path("no such folder\\pic.bmp").CStr()));
}

}  // namespace
}  // namespace kova::ui
