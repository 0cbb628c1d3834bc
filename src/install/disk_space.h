// Drives and free space, for the installation directory checks and the space
// question.
#pragma once

#include "core/types.h"

namespace kova::install {

// Whether the drive letter names a drive (its root "X:\" is one).
bool DriveExists(char letter);

// Bytes per cluster of the drive the path begins with (its first character
// taken as the letter); -1 when it does not begin with an ASCII letter or the
// drive cannot tell.
i32 ClusterSize(const char* path);

// Free bytes on the drive the path begins with; -1 when it does not begin
// with an ASCII letter or the space cannot be obtained.
i64 FreeSpace(const char* path);

// Free bytes available to the user and total bytes of the drive with the
// given root. GetDiskFreeSpaceExA while the system has it, else (and for good
// once it answers "not implemented") the cluster counts of GetDiskFreeSpaceA.
bool DiskSpace(const char* root, i64* freeBytes, i64* totalBytes);

}  // namespace kova::install
