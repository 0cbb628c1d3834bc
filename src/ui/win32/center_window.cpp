// CenterWindow; see center_window.h.
#include "ui/win32/center_window.h"

namespace kova::ui {

void CenterWindow(HWND window) {
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT rect;
  if (!GetWindowRect(window, &rect)) return;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  int fittingWidth = width < screenWidth ? width : screenWidth;
  int fittingHeight = height < screenHeight ? height : screenHeight;
  int left = (screenWidth - fittingWidth) >> 1;
  int top = (screenHeight - fittingHeight) >> 1;
  MoveWindow(window, left < 0 ? 0 : left, top < 0 ? 0 : top, width, height, FALSE);
}

}  // namespace kova::ui
