// The replacement decision table; see replacement_rules.h.
#include "install/replacement_rules.h"

#include "format/file_record.h"
#include "install/file_operations.h"
#include "install/file_versions.h"
#include "install/whole_file.h"

namespace kova::install {
namespace {

bool Log(core::String& logText, const char* target, const char* line, bool install) {
  logText += target;
  logText += line;
  return install;
}

bool ShouldInstallSystemFile(const char* target, const format::FileStamp& stamp, const char* versionText,
                             core::String& logText) {
  if (!core::IsBlankText(versionText)) {
    core::String existing = FileVersion(target);
    if (!core::IsBlankText(existing.CStr()) && CompareVersions(versionText, existing.CStr()) <= 0)
      return Log(logText, target, kLogVersionNotNewer, false);
  }
  format::FileStamp existing;
  if (!ReadFileStamp(target, &existing) || !existing.IsSet()) return false;
  // The stamps compare as stored, set or not: a record stamp of all zeros is
  // never newer than a file that is there.
  if (CompareStamps(existing, stamp) >= 0) return Log(logText, target, kLogDateNotNewer, false);
  return Log(logText, target, kLogOutOfDate, true);
}

}  // namespace

bool ShouldInstall(u32 type, const char* target, const format::FileStamp& stamp, const char* versionText,
                   core::String& logText) {
  if (type != format::kFileTypeShared && type != format::kFileTypeFont && type != format::kFileTypeSystem) return true;
  if (!FileExists(target)) return true;
  if (type == format::kFileTypeSystem) return ShouldInstallSystemFile(target, stamp, versionText, logText);
  if (!IsOlderThan(target, stamp)) return Log(logText, target, kLogUpToDate, false);
  return Log(logText, target, kLogOutOfDate, true);
}

}  // namespace kova::install
