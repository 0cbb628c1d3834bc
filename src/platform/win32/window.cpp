// Message boxes, the message pump and window teardown on Win32.
#include "platform/window.h"

#include "platform/win32/windows.h"

namespace kova::platform {

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, u32 style) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

bool PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
    if (message.message == WM_DESTROY || message.message == WM_CLOSE || message.message == WM_QUIT)
      return true;
  }
  return false;
}

void MinimizeWindow(WindowHandle window) { ShowWindow(static_cast<HWND>(window), SW_MINIMIZE); }

void DestroyWindow(WindowHandle window) { ::DestroyWindow(static_cast<HWND>(window)); }

}  // namespace kova::platform

namespace kova::platform {

u32 SystemColor(int index) { return GetSysColor(index); }

}  // namespace kova::platform
