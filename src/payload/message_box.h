// The one way the installer shows a message box: through a function that is
// platform::ShowMessageBox unless a test has put its own in place to read
// the boxes and answer them.
#pragma once

#include "core/types.h"
#include "platform/window.h"

namespace kova::payload {

// MessageBoxA's arguments; returns the id of the button chosen.
using MessageBoxFunction = int (*)(platform::WindowHandle owner, const char* text, const char* caption, u32 style);

int ShowBox(platform::WindowHandle owner, const char* text, const char* caption, u32 style);

// Null puts platform::ShowMessageBox back.
void SetMessageBoxFunction(MessageBoxFunction box);

}  // namespace kova::payload
