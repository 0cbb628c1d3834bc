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
// without taking anything). An open takes its bytes before it tests the
// others', so of two conflicting opens the later test always sees the other:
// both cannot pass (two that race may both be refused). Two calls for a
// usual open.
#pragma once

#include "platform/system_error.h"

namespace kova::platform::posix {

// Takes the locks of a new open of fd (access and share as in file_system.h)
// and checks them against every other open of the file:
// kErrorSharingViolation on a conflict, after which fd must be closed. fd
// must be open for reading when access is not 0. An open without read or
// write access takes part in nothing.
SystemError TakeShareMode(int fd, u32 access, u32 share);

// Whether another open of the file has read or write access: then Windows
// refuses to delete or rename it (no handle of ours shares deleting).
bool IsOpenElsewhere(int fd);

}  // namespace kova::platform::posix
