// Drives and disk space on POSIX: a drive exists when its folder under the
// sandbox root does (Z: always); space comes from the host file system that
// holds the drive's folder (statvfs), in 512-byte sectors.
#include <errno.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "platform/disk.h"
#include "platform/posix/errors.h"
#include "platform/posix/sandbox_paths.h"

namespace kova::platform {
namespace {

constexpr u64 kSectorBytes = 512;

// The host folder of the drive a root such as "C:\" names.
bool DriveFolder(const char* root, core::String* host) {
  if (!root || !((root[0] >= 'a' && root[0] <= 'z') || (root[0] >= 'A' && root[0] <= 'Z')) || root[1] != ':')
    return posix::Fail(kErrorInvalidName);
  posix::PrepareSandbox();
  *host = posix::DriveHostRoot(root[0]);
  struct stat info{};
  if (stat(host->CStr(), &info) != 0 || !S_ISDIR(info.st_mode)) return posix::Fail(kErrorPathNotFound);
  return true;
}

u32 Clamp32(u64 value) { return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<u32>(value); }

}  // namespace

u32 DriveTypeOf(const char* root) {
  core::String host;
  return DriveFolder(root, &host) ? kDriveFixed : kDriveNoRootDir;
}

bool DiskFreeClusters(const char* root, DiskClusters* clusters) {
  core::String host;
  if (!DriveFolder(root, &host)) return false;
  struct statvfs info{};
  if (statvfs(host.CStr(), &info) != 0) return posix::FailFromErrno(errno);
  u64 blockBytes = info.f_frsize ? info.f_frsize : info.f_bsize;
  u64 sectors = blockBytes / kSectorBytes ? blockBytes / kSectorBytes : 1;
  u64 clusterBytes = sectors * kSectorBytes;
  clusters->bytesPerSector = static_cast<u32>(kSectorBytes);
  clusters->sectorsPerCluster = static_cast<u32>(sectors);
  clusters->freeClusters = Clamp32(static_cast<u64>(info.f_bavail) * blockBytes / clusterBytes);
  clusters->totalClusters = Clamp32(static_cast<u64>(info.f_blocks) * blockBytes / clusterBytes);
  return true;
}

bool DiskFreeBytes(const char* root, u64* freeToCaller, u64* total) {
  core::String host;
  if (!DriveFolder(root, &host)) return false;
  struct statvfs info{};
  if (statvfs(host.CStr(), &info) != 0) return posix::FailFromErrno(errno);
  u64 blockBytes = info.f_frsize ? info.f_frsize : info.f_bsize;
  *freeToCaller = static_cast<u64>(info.f_bavail) * blockBytes;
  *total = static_cast<u64>(info.f_blocks) * blockBytes;
  return true;
}

}  // namespace kova::platform
