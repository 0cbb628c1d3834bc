// System DLLs loaded by full path; see system_library.h.
#include "platform/win32/system_library.h"

#include <cstring>

namespace kova::platform::win32 {

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH + 1];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  std::size_t nameLength = std::strlen(name);
  if (length == 0 || length + 1 + nameLength >= sizeof path) return nullptr;
  if (path[length - 1] != '\\') path[length++] = '\\';
  std::memcpy(path + length, name, nameLength + 1);
  return LoadLibraryA(path);
}

FARPROC SystemProcedure(const char* library, const char* procedure) {
  HMODULE module = LoadSystemLibrary(library);
  return module ? GetProcAddress(module, procedure) : nullptr;
}

}  // namespace kova::platform::win32
