// Fonts on Win32: gdi32 and user32 directly.
#include "platform/fonts.h"

#include "platform/win32/windows.h"

namespace kova::platform {

i32 AddFontFile(const char* name) { return name ? AddFontResourceA(name) : 0; }

bool RemoveFontFile(const char* name) { return name && RemoveFontResourceA(name) != 0; }

void BroadcastFontChange() { SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }

}  // namespace kova::platform
