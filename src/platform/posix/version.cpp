// The operating system version on POSIX: what the host program set
// (posix/host.h), by default Windows NT 5.1 (XP, build 2600, Service Pack 3),
// so an installer can be tried against any excluded-systems mask.
#include "platform/posix/host.h"
#include "platform/version.h"

namespace kova::platform {
namespace {

OsVersion& Reported() {
  static OsVersion version{5, 1, 2600, kPlatformNt, core::String("Service Pack 3")};
  return version;
}

}  // namespace

namespace posix {

void SetOsVersion(u32 major, u32 minor, u32 build, u32 platformId, const char* servicePack) {
  Reported() = OsVersion{major, minor, build, platformId, core::String(servicePack)};
}

}  // namespace posix

bool GetOsVersion(OsVersion* version) {
  *version = Reported();
  return true;
}

}  // namespace kova::platform
