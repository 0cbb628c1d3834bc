// The operating system version on Win32 (GetVersionExA).
#include "platform/version.h"

#include "platform/win32/windows.h"

namespace kova::platform {

bool GetOsVersion(OsVersion* version) {
  OSVERSIONINFOA info{};
  // The call refuses a structure whose size field is not filled in.
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  version->build = info.dwBuildNumber;
  version->platformId = info.dwPlatformId;
  version->servicePack = info.szCSDVersion;
  return true;
}

}  // namespace kova::platform
