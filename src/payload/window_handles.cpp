// The window handles; see windows.h.
#include "payload/window_handles.h"

#include "core/lasting.h"

namespace kova::payload {
namespace {

void* gInstance = nullptr;
platform::WindowHandle gSetupWindow = nullptr;
platform::WindowHandle gProgressDialog = nullptr;

}  // namespace

void* Instance() { return gInstance; }
void SetInstance(void* instance) { gInstance = instance; }

SetupWindowStyle& WindowStyle() {
  static core::Lasting<SetupWindowStyle> style;
  return style.Get();
}

platform::WindowHandle SetupWindow() { return gSetupWindow; }
void SetSetupWindow(platform::WindowHandle window) { gSetupWindow = window; }

platform::WindowHandle ProgressDialog() { return gProgressDialog; }
void SetProgressDialog(platform::WindowHandle window) { gProgressDialog = window; }

}  // namespace kova::payload
