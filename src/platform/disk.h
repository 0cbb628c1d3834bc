// Drives and their space: whether a drive letter names a drive, and free and
// total space in clusters (GetDiskFreeSpaceA) and in bytes
// (GetDiskFreeSpaceExA, which the first Windows 95 lacks).
#pragma once

#include "core/types.h"

namespace kova::platform {

// GetDriveTypeA results.
inline constexpr u32 kDriveUnknown = 0;
inline constexpr u32 kDriveNoRootDir = 1;
inline constexpr u32 kDriveRemovable = 2;
inline constexpr u32 kDriveFixed = 3;
inline constexpr u32 kDriveRemote = 4;
inline constexpr u32 kDriveCdRom = 5;
inline constexpr u32 kDriveRamDisk = 6;

// GetDriveTypeA of a root such as "C:\".
u32 DriveTypeOf(const char* root);

struct DiskClusters {
  u32 sectorsPerCluster = 0;
  u32 bytesPerSector = 0;
  u32 freeClusters = 0;
  u32 totalClusters = 0;
};

// GetDiskFreeSpaceA of a root such as "C:\". Cluster counts beyond 32 bits
// are reported as 0xFFFFFFFF, as Windows does for very large disks.
bool DiskFreeClusters(const char* root, DiskClusters* clusters);

// GetDiskFreeSpaceExA: the free bytes available to this user and the total
// bytes. Looked up in kernel32 on the first call; when the system lacks it
// the call fails with kErrorCallNotImplemented.
bool DiskFreeBytes(const char* root, u64* freeToCaller, u64* total);

}  // namespace kova::platform
