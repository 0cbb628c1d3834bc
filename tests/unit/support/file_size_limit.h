// A full disk for one scope (POSIX hosts): the process may not make any file
// longer than the limit, so a write past it stops part-way with EFBIG, as a
// write onto a full file system stops with ENOSPC. SIGXFSZ is ignored
// meanwhile; both are restored when the scope ends.
#pragma once

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>

namespace kova::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedSignal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, savedSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*savedSignal_)(int) = nullptr;
};

}  // namespace kova::test
#endif
