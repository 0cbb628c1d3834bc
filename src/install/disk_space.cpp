// Drives and free space; see disk_space.h.
#include "install/disk_space.h"

#include "core/string.h"
#include "platform/disk.h"
#include "platform/system_error.h"

namespace kova::install {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

core::String RootOf(char letter) { return core::Formatted("%c:\\", letter); }

// Process-wide: set when GetDiskFreeSpaceExA answered "not implemented" (the
// export exists on systems that do not support it), so it is not asked again.
bool& ExtendedCallDropped() {
  static bool dropped = false;
  return dropped;
}

}  // namespace

bool DriveExists(char letter) { return platform::DriveTypeOf(RootOf(letter).CStr()) != platform::kDriveNoRootDir; }

i32 ClusterSize(const char* path) {
  if (!path || !IsAsciiLetter(path[0])) return -1;
  platform::DiskClusters clusters;
  if (!platform::DiskFreeClusters(RootOf(path[0]).CStr(), &clusters)) return -1;
  u64 size = static_cast<u64>(clusters.sectorsPerCluster) * clusters.bytesPerSector;
  return size > 0x7FFFFFFF ? -1 : static_cast<i32>(size);
}

i64 FreeSpace(const char* path) {
  if (!path || !IsAsciiLetter(path[0])) return -1;
  i64 freeBytes = -1, totalBytes = -1;
  if (!DiskSpace(RootOf(path[0]).CStr(), &freeBytes, &totalBytes)) return -1;
  return freeBytes;
}

bool DiskSpace(const char* root, i64* freeBytes, i64* totalBytes) {
  if (!ExtendedCallDropped()) {
    u64 available = 0, total = 0;
    if (platform::DiskFreeBytes(root, &available, &total)) {
      *freeBytes = static_cast<i64>(available);
      *totalBytes = static_cast<i64>(total);
      return true;
    }
    if (platform::LastSystemError() != platform::kErrorCallNotImplemented) return false;
    ExtendedCallDropped() = true;
  }
  platform::DiskClusters clusters;
  if (!platform::DiskFreeClusters(root, &clusters)) return false;
  i64 clusterBytes = static_cast<i64>(clusters.sectorsPerCluster) * clusters.bytesPerSector;
  *freeBytes = clusterBytes * clusters.freeClusters;
  *totalBytes = clusterBytes * clusters.totalClusters;
  return true;
}

}  // namespace kova::install
