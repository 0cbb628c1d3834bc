// The version of the operating system (GetVersionExA), which the pre-install
// checks compare with the install script's excluded systems and the file loop
// uses to tell Windows NT from Windows 95 and 98.
#pragma once

#include "core/string.h"

namespace kova::platform {

// dwPlatformId values.
inline constexpr u32 kPlatformWin32s = 0;
inline constexpr u32 kPlatformWindows = 1;  // Windows 95, 98, Me
inline constexpr u32 kPlatformNt = 2;

struct OsVersion {
  u32 major = 0;
  u32 minor = 0;
  u32 build = 0;
  u32 platformId = 0;
  core::String servicePack;  // szCSDVersion
};

bool GetOsVersion(OsVersion* version);

}  // namespace kova::platform
