// Environment expansion on Win32; see platform/environment.h.
#include "platform/environment.h"

#include "core/memory.h"
#include "platform/win32/windows.h"

namespace kova::platform {

bool ExpandEnvironmentText(const char* text, i32 bufferSize, core::String& result) {
  result.Clear();
  if (bufferSize < 1) return false;
  char* buffer = static_cast<char*>(core::Allocate(static_cast<std::size_t>(bufferSize)));
  DWORD n = ExpandEnvironmentStringsA(text, buffer, static_cast<DWORD>(bufferSize));
  // The count includes the terminating NUL; 0 is failure, more than the buffer
  // means the text did not fit.
  bool ok = n > 0 && n <= static_cast<DWORD>(bufferSize);
  if (ok) result = buffer;
  core::Release(buffer);
  return ok;
}

}  // namespace kova::platform
