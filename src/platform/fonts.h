// Fonts of the system (gdi32, user32): registering a font file that was just
// installed, removing one, and telling every top-level window that the set
// of fonts changed.
#pragma once

#include "core/types.h"

namespace kova::platform {

// AddFontResourceA: the number of fonts added, 0 on failure. On POSIX there
// is no font table to add to; the call succeeds (1) for any name.
i32 AddFontFile(const char* name);
// RemoveFontResourceA; on POSIX it succeeds.
bool RemoveFontFile(const char* name);
// SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); nothing on POSIX.
void BroadcastFontChange();

}  // namespace kova::platform
