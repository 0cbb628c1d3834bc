// Windows share modes between processes on POSIX, with open file description
// locks (fcntl F_OFD_SETLK), which belong to one open of a file rather than to
// a process: two opens conflict even inside one process, as two handles do on
// Windows, and the locks go when the descriptor is closed or its process
// ends, however it ends.
//
// Each open with read or write access takes shared locks on up to four bytes
// far beyond any data (kShareLockBase): "reads", "writes", "denies reading",
// "denies writing". An open conflicts when it wants to read and someone
// denies reading, wants to write and someone denies writing, denies reading
// and someone reads, or denies writing and someone writes (F_OFD_GETLK asks
// without taking anything). The test and the taking run under flock(LOCK_EX)
// of the same file, which works on descriptors of any access, so two opens
// cannot both pass the test before either has taken its locks.
#pragma once

#include "platform/system_error.h"

namespace kova::platform::posix {

// Checks the share mode of a new open of fd (access and share as in
// file_system.h) against every other open of the file and takes its locks.
// kErrorSharingViolation on a conflict. fd must be open for reading when
// access is not 0. An open without read or write access takes part in nothing.
SystemError TakeShareMode(int fd, u32 access, u32 share);

// Whether another open of the file has read or write access: then Windows
// refuses to delete or rename it (no handle of ours shares deleting).
bool IsOpenElsewhere(int fd);

}  // namespace kova::platform::posix
