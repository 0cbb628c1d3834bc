// Temporary and short names on Win32: the ANSI calls themselves.
#include "platform/file_names.h"

#include "platform/win32/windows.h"

namespace kova::platform {

u32 TempPathInto(u32 size, char* buffer) { return GetTempPathA(size, buffer); }

u32 TempFileNameInto(const char* folder, const char* prefix, u32 unique, char* buffer) {
  // The buffer must hold MAX_PATH characters; the call does not take its size.
  return GetTempFileNameA(folder, prefix, unique, buffer);
}

u32 ShortPathInto(const char* path, char* buffer, u32 size) { return GetShortPathNameA(path, buffer, size); }

}  // namespace kova::platform
