// The handles of the program's two long-lived windows: the full-screen setup
// window and the progress dialog. Either may be null. Message boxes are owned
// by whichever exists (the progress dialog first).
#pragma once

#include "core/string.h"
#include "platform/window.h"

namespace kova::payload {

// The module instance that owns the program's windows (HINSTANCE).
void* Instance();
void SetInstance(void* instance);

// How the setup window paints: colours as COLORREF values (0x00BBGGRR).
struct SetupWindowStyle {
  u32 titleColor = 0;         // TitleColor
  u32 topColor = 0xFFFFFF;    // TopColor
  u32 bottomColor = 0;        // BottomColor: the gradient's end
  bool monoColor = true;      // MonoColor: the window is filled with one colour
  core::String displayTitle;  // DisplayTitle: message 0 once the language is chosen
};
SetupWindowStyle& WindowStyle();

platform::WindowHandle SetupWindow();
void SetSetupWindow(platform::WindowHandle window);

platform::WindowHandle ProgressDialog();
void SetProgressDialog(platform::WindowHandle window);

}  // namespace kova::payload
