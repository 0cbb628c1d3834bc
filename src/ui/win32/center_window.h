// Centring on the screen, shared by every dialog of the installer, the
// progress dialog and the folder browser.
#pragma once

#include "platform/win32/windows.h"

namespace kova::ui {

// Moves the window to the middle of the screen, keeping its size; a window
// larger than the screen in one direction is placed at 0 in that direction.
// Nothing is repainted by the move.
void CenterWindow(HWND window);

}  // namespace kova::ui
