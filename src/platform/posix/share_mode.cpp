// Share modes with open file description locks; see share_mode.h.
#include "platform/posix/share_mode.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

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

// Whether another open description holds a lock on the byte.
bool HeldElsewhere(int fd, off_t byte) {
  struct flock lock{};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  lock.l_pid = 0;
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

void TakeByte(int fd, off_t byte) {
  struct flock lock{};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  lock.l_pid = 0;
  fcntl(fd, F_OFD_SETLK, &lock);
}

// flock(LOCK_EX) for the length of one check-and-take.
class Guard {
 public:
  explicit Guard(int fd) : fd_(fd) {
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~Guard() { flock(fd_, LOCK_UN); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  int fd_;
};

}  // namespace

SystemError TakeShareMode(int fd, u32 access, u32 share) {
  bool reads = access & kAccessRead;
  bool writes = access & kAccessWrite;
  if (!reads && !writes) return kErrorSuccess;
  bool deniesReading = !(share & kShareRead);
  bool deniesWriting = !(share & kShareWrite);

  Guard guard(fd);
  if ((reads && HeldElsewhere(fd, kDeniesReading)) || (writes && HeldElsewhere(fd, kDeniesWriting)) ||
      (deniesReading && HeldElsewhere(fd, kReads)) || (deniesWriting && HeldElsewhere(fd, kWrites)))
    return kErrorSharingViolation;
  // On a file system without OFD locks the bytes cannot be taken; sharing is
  // then not honoured there, which is better than refusing every open.
  if (reads) TakeByte(fd, kReads);
  if (writes) TakeByte(fd, kWrites);
  if (deniesReading) TakeByte(fd, kDeniesReading);
  if (deniesWriting) TakeByte(fd, kDeniesWriting);
  return kErrorSuccess;
}

bool IsOpenElsewhere(int fd) {
  Guard guard(fd);
  return HeldElsewhere(fd, kReads) || HeldElsewhere(fd, kWrites);
}

}  // namespace kova::platform::posix
