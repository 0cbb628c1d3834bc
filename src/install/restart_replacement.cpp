// Replacing files in use at the next restart; see restart_replacement.h.
#include "install/restart_replacement.h"

#include "core/paths.h"
#include "payload/system_paths.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/version.h"

namespace kova::install {

RestartReplacer MakeRestartReplacer() {
  RestartReplacer replacer;
  platform::OsVersion version;
  replacer.isNt = platform::GetOsVersion(&version) && version.platformId == platform::kPlatformNt;
  replacer.moveFileExLinked = replacer.isNt && platform::CanMoveWithFlags();
  replacer.windowsDir = payload::GetSystemPaths().windowsDir;
  return replacer;
}

bool ReplaceAtRestart(const RestartReplacer& replacer, const char* temporary, const char* occupied,
                      core::String& errorText) {
  if (!replacer.isNt) {
    // What WritePrivateProfileStringA answers is of no use here: Windows 95
    // reports nothing about the file it will read at the restart.
    core::String wininit = core::JoinPath(replacer.windowsDir.CStr(), "wininit.ini");
    platform::SetProfileString("rename", occupied, temporary, wininit.CStr());
    return true;
  }
  if (!replacer.moveFileExLinked) {
    errorText.AppendFormat(kMoveFileExMissing, occupied);
    return true;
  }
  if (!platform::MoveFilePath(temporary, occupied, platform::kMoveReplaceExisting | platform::kMoveDelayUntilReboot)) {
    errorText.AppendFormat(kMoveFileExFailed, occupied);
    return false;
  }
  return true;
}

}  // namespace kova::install
