// The setup window on a terminal: there is no window; the title is printed
// as a heading once the language is chosen.
#include "ui/setup_window.h"

#include <cstdio>

#include "core/string.h"
#include "payload/window_handles.h"

namespace kova::ui {

void CreateSetupWindow() {}

void ShowTitle(const char* title) {
  core::String shown(title);  // title may be the stored title itself
  payload::WindowStyle().displayTitle = shown;
  shown.Trim();
  if (!shown.IsEmpty()) std::fprintf(stderr, "== %s ==\n", shown.CStr());
}

}  // namespace kova::ui
