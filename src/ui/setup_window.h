// The setup window: on Windows the full-screen popup behind the dialogs that
// paints the background and the product's title; on a terminal the title is
// printed as a heading. The appearance values live in payload::WindowStyle,
// the background picture here.
#pragma once

#include "ui/dib_bitmap.h"

namespace kova::ui {

// Creates the window and stores its handle (payload::SetSetupWindow). On a
// terminal there is no window and nothing happens.
void CreateSetupWindow();

// Sets DisplayTitle and repaints the window with it (Windows), or prints it
// (terminal).
void ShowTitle(const char* title);

// The background bitmap of the setup window; empty when the window is
// painted with its colours.
DibBitmap& BackgroundBitmap();

}  // namespace kova::ui
