// The setup window on Windows (to come: the window class, the background and
// the title).
#include "ui/setup_window.h"

#include "payload/window_handles.h"

namespace kova::ui {

void CreateSetupWindow() {}

void ShowTitle(const char* title) { payload::WindowStyle().displayTitle = title; }

}  // namespace kova::ui
