// Share modes with open file description locks; see share_mode.h.
#include "platform/posix/share_mode.h"

#include <fcntl.h>

#include "platform/file_system.h"

namespace kova::platform::posix {
namespace {

// Far beyond any file the engine writes, and below the largest offset a lock
// may reach; Windows programs' own region locks (which the engine does not
// use) could never reach it either.
constexpr off_t kShareLockBase = 0x7FFFFFFF00000000LL;
constexpr off_t kReads = kShareLockBase + 0;
constexpr off_t kWrites = kShareLockBase + 1;
constexpr off_t kDeniesReading = kShareLockBase + 2;
constexpr off_t kDeniesWriting = kShareLockBase + 3;

// The four bytes as bits: bit i stands for the byte kShareLockBase + i.
// Each run of neighbouring bytes is checked or taken by one call, so the
// usual opens (all four bytes, or one) cost one call each way.
template <typename PerRun>
bool ForEachRun(u32 bits, PerRun perRun) {
  for (int i = 0; i < 4;) {
    if (!(bits & (1u << i))) {
      ++i;
      continue;
    }
    int end = i;
    while (end < 4 && (bits & (1u << end))) ++end;
    if (!perRun(kShareLockBase + i, end - i)) return false;
    i = end;
  }
  return true;
}

// A lock of the given type over one run of bytes.
struct flock RangeLock(short type, off_t start, off_t length) {
  struct flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  lock.l_pid = 0;
  return lock;
}

// Whether another open description holds a lock on any of the bytes.
bool HeldElsewhere(int fd, u32 bits) {
  return !ForEachRun(bits, [fd](off_t start, off_t length) {
    struct flock lock = RangeLock(F_WRLCK, start, length);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return true;
    return lock.l_type == F_UNLCK;
  });
}

void TakeBytes(int fd, u32 bits) {
  ForEachRun(bits, [fd](off_t start, off_t length) {
    struct flock lock = RangeLock(F_RDLCK, start, length);
    fcntl(fd, F_OFD_SETLK, &lock);
    return true;
  });
}

constexpr u32 Bit(off_t byte) { return 1u << (byte - kShareLockBase); }

}  // namespace

SystemError TakeShareMode(int fd, u32 access, u32 share) {
  bool reads = access & kAccessRead;
  bool writes = access & kAccessWrite;
  if (!reads && !writes) return kErrorSuccess;
  bool deniesReading = !(share & kShareRead);
  bool deniesWriting = !(share & kShareWrite);

  // To read, nobody may deny reading; to deny reading, nobody may read; and
  // so on.
  u32 conflicts = (reads ? Bit(kDeniesReading) : 0) | (writes ? Bit(kDeniesWriting) : 0) |
                  (deniesReading ? Bit(kReads) : 0) | (deniesWriting ? Bit(kWrites) : 0);
  u32 taken = (reads ? Bit(kReads) : 0) | (writes ? Bit(kWrites) : 0) | (deniesReading ? Bit(kDeniesReading) : 0) |
              (deniesWriting ? Bit(kDeniesWriting) : 0);
  // Taken first, then checked: of two opens that conflict, whichever checks
  // last sees the other's bytes, so both can never pass (when they race,
  // both may fail, where Windows would let one through). The caller closes
  // the descriptor on a refusal, which gives the bytes back. On a file system
  // without OFD locks the bytes cannot be taken; sharing is then not
  // honoured there, which is better than refusing every open.
  TakeBytes(fd, taken);
  return HeldElsewhere(fd, conflicts) ? kErrorSharingViolation : kErrorSuccess;
}

bool IsOpenElsewhere(int fd) { return HeldElsewhere(fd, Bit(kReads) | Bit(kWrites)); }

}  // namespace kova::platform::posix
