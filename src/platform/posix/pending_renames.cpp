// The sandbox's record of moves delayed until restart; see pending_renames.h.
#include "platform/posix/pending_renames.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/errors.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/sandbox_paths.h"

namespace kova::platform::posix {
namespace {

bool FullPath(const char* path, core::String* full) {
  SandboxPath resolved;
  if (!ResolvePath(path, &resolved)) return false;
  *full = resolved.windows;
  return true;
}

}  // namespace

core::String PendingRenamesFile() {
  core::String file(SandboxRoot());
  file += "/PendingFileRenameOperations.txt";
  return file;
}

bool RecordPendingRename(const char* from, const char* to, bool replace) {
  core::String source, target;
  if (!FullPath(from, &source)) return false;
  if (to && *to && !FullPath(to, &target)) return false;
  core::String record("\\??\\");
  record += source;
  record += '\n';
  if (!target.IsEmpty()) {
    if (replace) record += '!';
    record += "\\??\\";
    record += target;
  }
  record += '\n';
  PrepareSandbox();
  // One write of O_APPEND: records of two processes never interleave.
  int fd = open(PendingRenamesFile().CStr(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return FailFromErrno(errno);
  ssize_t written = write(fd, record.CStr(), static_cast<size_t>(record.Length()));
  int error = errno;
  close(fd);
  if (written != record.Length()) return written < 0 ? FailFromErrno(error) : Fail(kErrorDiskFull);
  return true;
}

bool ReadPendingRenames(core::Array<PendingRename>* renames) {
  renames->Clear();
  int fd = open(PendingRenamesFile().CStr(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? true : FailFromErrno(errno);
  core::String text;
  char block[4096];
  for (;;) {
    ssize_t n = read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.Append(block, static_cast<i32>(n));
  }
  close(fd);
  auto strip = [](core::String line) {
    if (line.Left(4).Equals("\\??\\")) line.Erase(0, 4);
    return line;
  };
  while (!text.IsEmpty()) {
    core::String from = text.TakeLine();
    core::String to = text.TakeLine();
    if (from.IsEmpty()) continue;
    PendingRename rename;
    rename.from = strip(from);
    if (to[0] == '!') {
      rename.replace = true;
      to.Erase(0, 1);
    }
    rename.to = strip(to);
    renames->Append(rename);
  }
  return true;
}

}  // namespace kova::platform::posix
