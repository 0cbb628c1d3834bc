// Temporary and short names on POSIX. The temporary folder is the sandbox's
// TEMP folder (sandbox_paths.h); temporary files are made there (or wherever
// asked) exactly as GetTempFileNameA makes them; short names are the
// sandbox's stable 8.3 aliases (sandbox_paths.h), which the resolver accepts
// in place of the long names.
#include <errno.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_names.h"
#include "platform/posix/errors.h"
#include "platform/posix/folder_cache.h"
#include "platform/posix/sandbox_paths.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace kova::platform {
namespace {

// The Win32 convention of the ...Into calls: copy when text and NUL fit.
u32 CopyOut(const core::String& text, char* buffer, u32 size) {
  u32 length = static_cast<u32>(text.Length());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, text.CStr(), length + 1);
  return length;
}

u32 TickSeed() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<u32>(now.tv_nsec / 1000000 + now.tv_sec * 1000);
}

}  // namespace

u32 TempPathInto(u32 size, char* buffer) {
  posix::PrepareSandbox();
  core::String temp = posix::TempFolder();
  temp += '\\';
  return CopyOut(temp, buffer, size);
}

u32 TempFileNameInto(const char* folder, const char* prefix, u32 unique, char* buffer) {
  if (!folder || !buffer) {
    posix::Fail(kErrorInvalidParameter);
    return 0;
  }
  core::String base(folder);
  if (base.IsEmpty() || base[base.Length() - 1] != '\\') base += '\\';
  base.Append(prefix ? prefix : "", prefix ? static_cast<i32>(strnlen(prefix, 3)) : 0);
  // Windows starts from the tick count and counts up (16 bits, never 0)
  // until a name is free, creating the file to claim it.
  u32 number = unique ? unique & 0xFFFF : TickSeed() & 0xFFFF;
  for (u32 tries = 0; tries < 0x10000; ++tries, number = (number + 1) & 0xFFFF) {
    if (number == 0) continue;
    core::String name(base);
    name.AppendFormat("%X.TMP", number);
    if (static_cast<u32>(name.Length()) >= kMaxPath) {
      posix::Fail(kErrorFilenameTooLong);
      return 0;
    }
    if (unique) {
      std::memcpy(buffer, name.CStr(), static_cast<std::size_t>(name.Length()) + 1);
      return unique;
    }
    posix::SandboxPath resolved;
    if (!posix::ResolvePath(name.CStr(), &resolved)) {
      // GetTempFileNameA reports a folder it cannot use as ERROR_DIRECTORY.
      if (LastSystemError() == kErrorPathNotFound) posix::Fail(kErrorDirectory);
      return 0;
    }
    if (resolved.exists) continue;
    int fd = open(resolved.host.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      posix::FailFromErrno(errno == ENOENT ? ENOTDIR : errno);
      return 0;
    }
    close(fd);
    posix::NoteNameAdded(resolved.hostParent, resolved.name.CStr());
    std::memcpy(buffer, name.CStr(), static_cast<std::size_t>(name.Length()) + 1);
    return number;
  }
  posix::Fail(kErrorFileExists);
  return 0;
}

u32 ShortPathInto(const char* path, char* buffer, u32 size) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(path, &resolved)) return 0;
  if (!resolved.exists) {
    posix::Fail(kErrorFileNotFound);
    return 0;
  }
  // Each name as stored on the way down, then its alias.
  core::String shortPath;
  shortPath += resolved.drive;
  shortPath += ":\\";
  core::String prefix(shortPath);
  for (i32 i = 0; i < resolved.names.Size(); ++i) {
    core::String step(prefix);
    step += resolved.names[i];
    posix::SandboxPath part;
    if (!posix::ResolvePath(step.CStr(), &part) || !part.exists) {
      posix::Fail(kErrorPathNotFound);
      return 0;
    }
    if (i > 0) shortPath += '\\';
    shortPath += posix::ShortNameOf(part.name.CStr());
    prefix = step;
    prefix += '\\';
  }
  return CopyOut(shortPath, buffer, size);
}

}  // namespace kova::platform
