// Files on POSIX, inside the sandbox (sandbox_paths.h), with Windows' rules
// where the engine can tell the difference: share modes between opens
// (share_mode.h), read-only files refusing writing and deleting whoever runs
// the program (root included), directories refusing to be opened as files,
// and times converted with the current offset from UTC.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "core/memory.h"
#include "platform/file_system.h"
#include "platform/posix/errors.h"
#include "platform/posix/folder_cache.h"
#include "platform/posix/pending_renames.h"
#include "platform/posix/sandbox_paths.h"
#include "platform/posix/share_mode.h"

namespace kova::platform {
namespace {

using posix::Fail;
using posix::FailFromErrno;

// What a FileHandle points to: the descriptor and the Windows access it was
// opened with (the descriptor may allow more, for the share-mode locks).
struct PosixFile {
  int fd;
  u32 access;
};

PosixFile* FileOf(FileHandle file) { return static_cast<PosixFile*>(file); }

bool IsReadOnly(const struct stat& info) { return !(info.st_mode & S_IWUSR); }

// Opens the host file for the Windows access: reading is always asked for
// when possible, because the share-mode locks need it.
int OpenDescriptor(const char* host, u32 access, int extra) {
  int flags = O_CLOEXEC | extra | ((access & kAccessWrite) ? O_RDWR : O_RDONLY);
  int fd = open(host, flags, 0666);
  if (fd < 0 && errno == EACCES && (access & kAccessWrite) && !(access & kAccessRead))
    fd = open(host, (flags & ~O_RDWR) | O_WRONLY, 0666);
  if (fd < 0 && errno == EACCES && !(access & (kAccessRead | kAccessWrite)))
    fd = open(host, O_CLOEXEC | O_PATH);
  return fd;
}

// Windows converts between local and UTC file times with the offset in force
// now, not the one of the date converted; so does this, to give the same
// stamps as Windows on the same machine.
i64 CurrentUtcOffset() {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return local.tm_gmtoff;
}

i64 FloorDivide(i64 a, i64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }


}  // namespace

FileHandle OpenFileHandle(const char* path, u32 access, u32 share, u32 creation, u32 attributes) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return nullptr;
  if (creation < kCreateNew || creation > kOpenAlways) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  // CreateFileA opens no directory without FILE_FLAG_BACKUP_SEMANTICS.
  if (resolved.isDirectory) {
    Fail(kErrorAccessDenied);
    return nullptr;
  }
  bool existed = resolved.exists;
  if (existed && creation == kCreateNew) {
    Fail(kErrorFileExists);
    return nullptr;
  }
  if (!existed && creation == kOpenExisting) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  if (existed && resolved.readOnly && ((access & kAccessWrite) || creation == kCreateAlways)) {
    Fail(kErrorAccessDenied);
    return nullptr;
  }

  // An existing file is truncated only after the share check: CREATE_ALWAYS
  // must not destroy a file that someone else holds without sharing.
  int fd = OpenDescriptor(resolved.host.CStr(), access, existed ? 0 : (O_CREAT | O_EXCL));
  if (fd < 0 && !existed && errno == EEXIST && creation != kCreateNew) {
    existed = true;  // made by someone else a moment ago
    fd = OpenDescriptor(resolved.host.CStr(), access, 0);
  } else if (fd >= 0 && !existed) {
    posix::NoteNameAdded(resolved.hostParent, resolved.name.CStr());
  }
  if (fd < 0) {
    FailFromErrno(errno);
    return nullptr;
  }
  SystemError shared = posix::TakeShareMode(fd, access, share);
  if (shared != kErrorSuccess) {
    close(fd);
    Fail(shared);
    return nullptr;
  }
  if (existed && creation == kCreateAlways && ftruncate(fd, 0) != 0) {
    int error = errno;
    close(fd);
    FailFromErrno(error);
    return nullptr;
  }
  if (!existed && (attributes & kAttributeReadOnly)) fchmod(fd, 0444);

  auto* file = static_cast<PosixFile*>(core::Allocate(sizeof(PosixFile)));
  file->fd = fd;
  file->access = access;
  return file;
}

void CloseFileHandle(FileHandle file) {
  if (!file) return;
  close(FileOf(file)->fd);
  core::Release(file);
}

bool ReadFileData(FileHandle file, void* buffer, u32 size, u32* done) {
  *done = 0;
  if (!file) return Fail(kErrorInvalidHandle);
  if (!(FileOf(file)->access & kAccessRead)) return Fail(kErrorAccessDenied);
  auto* bytes = static_cast<u8*>(buffer);
  while (*done < size) {
    ssize_t n = read(FileOf(file)->fd, bytes + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailFromErrno(errno);
    if (n == 0) break;
    *done += static_cast<u32>(n);
  }
  return true;
}

bool WriteFileData(FileHandle file, const void* data, u32 size, u32* done) {
  *done = 0;
  if (!file) return Fail(kErrorInvalidHandle);
  if (!(FileOf(file)->access & kAccessWrite)) return Fail(kErrorAccessDenied);
  const auto* bytes = static_cast<const u8*>(data);
  while (*done < size) {
    ssize_t n = write(FileOf(file)->fd, bytes + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailFromErrno(errno);
    *done += static_cast<u32>(n);
  }
  return true;
}

bool MoveFilePointer(FileHandle file, i64 distance, u32 origin, i64* position) {
  if (!file) return Fail(kErrorInvalidHandle);
  int whence = origin == kSeekBegin ? SEEK_SET : origin == kSeekCurrent ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : -1;
  if (whence < 0) return Fail(kErrorInvalidParameter);
  off_t result = lseek(FileOf(file)->fd, static_cast<off_t>(distance), whence);
  // lseek answers EINVAL for a position before the start; Windows has its own
  // number for that.
  if (result < 0) return errno == EINVAL ? Fail(kErrorNegativeSeek) : FailFromErrno(errno);
  if (position) *position = result;
  return true;
}

bool FileLength(FileHandle file, i64* length) {
  if (!file) return Fail(kErrorInvalidHandle);
  struct stat info{};
  if (fstat(FileOf(file)->fd, &info) != 0) return FailFromErrno(errno);
  *length = info.st_size;
  return true;
}

bool SetFileEnd(FileHandle file) {
  if (!file) return Fail(kErrorInvalidHandle);
  if (!(FileOf(file)->access & kAccessWrite)) return Fail(kErrorAccessDenied);
  off_t position = lseek(FileOf(file)->fd, 0, SEEK_CUR);
  if (position < 0 || ftruncate(FileOf(file)->fd, position) != 0) return FailFromErrno(errno);
  return true;
}

bool FlushFileData(FileHandle file) {
  if (!file) return Fail(kErrorInvalidHandle);
  if (!(FileOf(file)->access & kAccessWrite)) return Fail(kErrorAccessDenied);
  if (fdatasync(FileOf(file)->fd) != 0 && errno != EINVAL) return FailFromErrno(errno);
  return true;
}

bool GetLastWriteTime(FileHandle file, core::DateTime* local) {
  if (!file) return Fail(kErrorInvalidHandle);
  struct stat info{};
  if (fstat(FileOf(file)->fd, &info) != 0) return FailFromErrno(errno);
  i64 seconds = static_cast<i64>(info.st_mtim.tv_sec) + CurrentUtcOffset();
  i64 days = FloorDivide(seconds, 86400);
  i64 inDay = seconds - days * 86400;
  i32 year, month, day;
  core::CivilFromDays(days, &year, &month, &day);
  *local = core::MakeDateTime(year, month, day, static_cast<i32>(inDay / 3600), static_cast<i32>(inDay / 60 % 60),
                              static_cast<i32>(inDay % 60));
  return true;
}

bool SetLastWriteTime(FileHandle file, const core::DateTime& local) {
  if (!file) return Fail(kErrorInvalidHandle);
  if (!core::IsFileTimeRange(local)) return Fail(kErrorInvalidParameter);
  // SetFileTime needs FILE_WRITE_ATTRIBUTES, which GENERIC_READ lacks.
  if (!(FileOf(file)->access & kAccessWrite)) return Fail(kErrorAccessDenied);
  i64 seconds = core::DaysFromCivil(local.year, local.month, local.day) * 86400 + local.hour * 3600 +
                local.minute * 60 + local.second - CurrentUtcOffset();
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  if (futimens(FileOf(file)->fd, times) != 0) return FailFromErrno(errno);
  return true;
}

bool MapFileRange(FileHandle file, i64 offset, i64 length, FileView* view) {
  *view = FileView();
  if (!file || offset < 0 || length <= 0) return Fail(kErrorInvalidParameter);
  if (!(FileOf(file)->access & kAccessRead)) return Fail(kErrorAccessDenied);
  // Bytes past the end of a mapped file cannot be read (SIGBUS): the range
  // must lie inside the file as it is now.
  struct stat info{};
  if (fstat(FileOf(file)->fd, &info) != 0) return FailFromErrno(errno);
  if (offset > info.st_size || length > info.st_size - offset) return Fail(kErrorInvalidParameter);
  const i64 page = sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096;
  const i64 start = offset - offset % page;
  const std::size_t span = static_cast<std::size_t>(offset - start + length);
  // Populated at once: the whole view is read straight through (checksum,
  // records), and one call maps the cached pages far faster than a fault
  // for each.
  void* base = mmap(nullptr, span, PROT_READ, MAP_SHARED | MAP_POPULATE, FileOf(file)->fd, static_cast<off_t>(start));
  if (base == MAP_FAILED) return FailFromErrno(errno);
  view->base = base;
  view->mapped = span;
  view->data = static_cast<const u8*>(base) + (offset - start);
  return true;
}

void UnmapFileRange(FileView* view) {
  if (view->base) munmap(view->base, view->mapped);
  *view = FileView();
}

u32 FileAttributesOf(const char* path) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return kInvalidAttributes;
  struct stat info{};
  if (!resolved.exists || stat(resolved.host.CStr(), &info) != 0) {
    Fail(kErrorFileNotFound);
    return kInvalidAttributes;
  }
  u32 attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeArchive;
  if (IsReadOnly(info)) attributes |= kAttributeReadOnly;
  return attributes;
}

bool SetFileAttributesOf(const char* path, u32 attributes) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return false;
  struct stat info{};
  if (!resolved.exists || stat(resolved.host.CStr(), &info) != 0) return Fail(kErrorFileNotFound);
  // Only the read-only bit has a host meaning: the write permissions.
  mode_t mode = info.st_mode & 07777;
  mode = (attributes & kAttributeReadOnly) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  if (chmod(resolved.host.CStr(), mode) != 0) return FailFromErrno(errno);
  return true;
}

bool RemoveFile(const char* path) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return false;
  struct stat info{};
  if (lstat(resolved.host.CStr(), &info) != 0) return Fail(kErrorFileNotFound);
  // A symbolic link goes itself, whatever it points to.
  if (S_ISLNK(info.st_mode)) {
    if (unlink(resolved.host.CStr()) != 0) return FailFromErrno(errno);
    posix::NoteNameRemoved(resolved.hostParent);
    return true;
  }
  if (S_ISDIR(info.st_mode)) return Fail(kErrorAccessDenied);
  if (IsReadOnly(info)) return Fail(kErrorAccessDenied);
  int fd = open(resolved.host.CStr(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    bool inUse = posix::IsOpenElsewhere(fd);
    close(fd);
    if (inUse) return Fail(kErrorSharingViolation);
  }
  if (unlink(resolved.host.CStr()) != 0) return FailFromErrno(errno);
  posix::NoteNameRemoved(resolved.hostParent);
  return true;
}

bool MoveFilePath(const char* from, const char* to, u32 flags) {
  if (flags & kMoveDelayUntilReboot) return posix::RecordPendingRename(from, to, flags & kMoveReplaceExisting);
  posix::SandboxPath source, target;
  if (!posix::ResolvePath(from, &source) || !posix::ResolvePath(to, &target)) return false;
  if (!source.exists) return Fail(kErrorFileNotFound);
  if (!source.isDirectory) {
    int fd = open(source.host.CStr(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      bool inUse = posix::IsOpenElsewhere(fd);
      close(fd);
      if (inUse) return Fail(kErrorSharingViolation);
    }
  }
  // rename() would replace silently; MoveFileA never replaces, and a
  // different letter case of the same file is no replacement.
  bool sameFile = source.host == target.host;
  if (target.exists && !sameFile) {
    if (!(flags & kMoveReplaceExisting)) return Fail(kErrorAlreadyExists);
    if (target.isDirectory || source.isDirectory) return Fail(kErrorAccessDenied);
  }
  core::String destination = target.exists && !sameFile ? target.host : target.hostParent + "/" + target.names.Last();
  if (std::rename(source.host.CStr(), destination.CStr()) != 0) return FailFromErrno(errno);
  if (source.isDirectory) {
    posix::ForgetFolders();
  } else {
    posix::NoteNameRemoved(source.hostParent);
    posix::NoteNameRemoved(target.hostParent);
  }
  return true;
}

bool CanMoveWithFlags() { return true; }

}  // namespace kova::platform
