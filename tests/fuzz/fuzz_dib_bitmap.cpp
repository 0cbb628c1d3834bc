// Fuzz target: the background bitmap of the install script. Whatever Parse
// accepts must keep GDI's reads inside the data: the header, the palette
// and every pixel row up to the last byte, which is read here so that ASan
// sees a read past the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/dib_bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  if (size > (1u << 20)) return 0;
  ui::DibBitmap bitmap;
  if (!bitmap.LoadFromMemory(data, static_cast<i32>(size))) {
    if (!bitmap.IsEmpty() || bitmap.Size() != 0) std::abort();
    return 0;
  }
  u64 rows = static_cast<u64>(bitmap.Height() < 0 ? -static_cast<i64>(bitmap.Height()) : bitmap.Height());
  u64 rowBytes = (static_cast<u64>(bitmap.Width()) * bitmap.BitCount() + 31) / 32 * 4;
  u64 end = static_cast<u64>(bitmap.BitsOffset()) + rowBytes * rows;
  if (bitmap.Width() <= 0 || rows == 0 || end > bitmap.Size() ||
      static_cast<u64>(bitmap.BitsOffset()) <
          static_cast<u64>(bitmap.ColorCount()) * static_cast<u64>(bitmap.PaletteEntrySize()))
    std::abort();
  volatile u8 last = bitmap.Data()[end - 1];
  (void)last;
  return 0;
}
