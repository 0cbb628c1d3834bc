// The setup window on Windows (to come: the window class, the background and
// the title).
#include "ui/setup_window.h"

#include "core/string.h"
#include "payload/window_handles.h"

namespace kova::ui {

void CreateSetupWindow() {}

void ShowTitle(const char* title) {
  core::String shown(title);  // title may be the stored title itself
  payload::WindowStyle().displayTitle = shown;
}

}  // namespace kova::ui
