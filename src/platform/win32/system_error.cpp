// The last error on Win32: GetLastError itself, and FormatMessageA's text.
#include "platform/system_error.h"

#include "platform/win32/windows.h"

namespace kova::platform {

SystemError LastSystemError() { return GetLastError(); }
void SetLastSystemError(SystemError error) { SetLastError(error); }

core::String SystemErrorText(SystemError error) {
  char text[1024];
  // Without FORMAT_MESSAGE_IGNORE_INSERTS a text with %1 in it would read
  // arguments that were never passed.
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                0, text, sizeof text, nullptr);
  return core::String(text, static_cast<i32>(length));
}

}  // namespace kova::platform
