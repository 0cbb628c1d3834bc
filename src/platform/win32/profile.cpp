// Initialization files on Win32: WritePrivateProfileStringA.
#include "platform/profile.h"

#include "platform/win32/windows.h"

namespace kova::platform {

bool SetProfileString(const char* section, const char* key, const char* value, const char* path) {
  return WritePrivateProfileStringA(section, key, value, path) != 0;
}

}  // namespace kova::platform
