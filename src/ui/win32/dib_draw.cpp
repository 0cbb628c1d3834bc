// Drawing the background bitmap with GDI; the rest of DibBitmap is portable
// (dib_bitmap.cpp).
#include "platform/win32/windows.h"
#include "ui/dib_bitmap.h"

namespace kova::ui {

void DibBitmap::Draw(void* deviceContext, i32 left, i32 top, i32 right, i32 bottom, u32 rasterOperation) const {
  if (!deviceContext || IsEmpty()) return;
  // Parse has checked that the header, the palette and every pixel row are
  // inside the data, so GDI reads nothing beyond it. Top-down bitmaps have
  // a negative height; the source rectangle takes its size.
  i32 rows = height_ < 0 ? -height_ : height_;
  StretchDIBits(static_cast<HDC>(deviceContext), left, top, right - left + 1, bottom - top + 1, 0, 0, width_, rows,
                data_.Data() + bitsOffset_, reinterpret_cast<const BITMAPINFO*>(data_.Data()), DIB_RGB_COLORS,
                rasterOperation);
}

}  // namespace kova::ui
