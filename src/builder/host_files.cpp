// Host file access; see host_files.h. POSIX calls throughout: the host tools
// run on Linux only.
#include "builder/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kova::builder {
namespace {

std::string Reason(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool WriteAll(int fd, const u8* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<u8>& bytes, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = Reason("cannot open", path);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "'" + path + "' is a directory, not a file" : Reason("cannot read", path);
    ::close(fd);
    return false;
  }
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  u8 buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = Reason("cannot read", path);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  ::close(fd);
  return true;
}

bool FileStampOf(const std::string& path, format::FileStamp& stamp, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = Reason("cannot read the time of", path);
    return false;
  }
  struct tm local {};
  if (!::localtime_r(&info.st_mtime, &local)) {
    error = "cannot convert the time of '" + path + "' to local time";
    return false;
  }
  stamp.year = local.tm_year + 1900;
  stamp.month = local.tm_mon + 1;
  stamp.day = local.tm_mday;
  stamp.hour = local.tm_hour;
  stamp.minute = local.tm_min;
  stamp.second = local.tm_sec;
  return true;
}

bool SetFileStamp(const std::string& path, const format::FileStamp& stamp, std::string& error) {
  struct tm local {};
  local.tm_year = stamp.year - 1900;
  local.tm_mon = stamp.month - 1;
  local.tm_mday = stamp.day;
  local.tm_hour = stamp.hour;
  local.tm_min = stamp.minute;
  local.tm_sec = stamp.second;
  local.tm_isdst = -1;
  time_t when = ::mktime(&local);
  if (when == static_cast<time_t>(-1)) {
    error = "the stamp of '" + path + "' is not a valid local time";
    return false;
  }
  struct timespec times[2] = {{when, 0}, {when, 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    error = Reason("cannot set the time of", path);
    return false;
  }
  return true;
}

bool WriteFilesAtomically(const std::vector<OutputFile>& files, std::string& error) {
  // A folder where a file goes would only fail the rename, after the files
  // before it were already in place.
  for (const OutputFile& file : files) {
    struct stat info {};
    if (::stat(file.path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      error = "cannot write '" + file.path + "': it is a directory";
      return false;
    }
  }
  std::vector<std::string> temporaries;
  auto discard = [&]() {
    for (const std::string& t : temporaries) ::unlink(t.c_str());
  };
  for (const OutputFile& file : files) {
    std::string temporary = file.path + ".kova-tmp-XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
      error = Reason("cannot create a temporary file in the folder of", file.path);
      discard();
      return false;
    }
    temporaries.push_back(temporary);
    bool ok = WriteAll(fd, file.bytes.data(), file.bytes.size()) && ::fsync(fd) == 0;
    // mkstemp makes the file private; outputs get the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ok && ::fchmod(fd, 0666 & ~mask) == 0;
    if (!ok) error = Reason("cannot write", file.path);
    if (::close(fd) != 0 && ok) {
      error = Reason("cannot write", file.path);
      ok = false;
    }
    if (!ok) {
      discard();
      return false;
    }
    if (file.stamp.IsSet() && !SetFileStamp(temporary, file.stamp, error)) {
      discard();
      return false;
    }
  }
  // The first file goes into place last: whoever finds it finds the others.
  // When a rename fails, the files already renamed go as well, so no
  // incomplete set is left behind.
  for (std::size_t i = files.size(); i-- > 0;) {
    if (::rename(temporaries[i].c_str(), files[i].path.c_str()) != 0) {
      error = Reason("cannot rename the finished file to", files[i].path);
      for (std::size_t k = 0; k <= i; ++k) ::unlink(temporaries[k].c_str());
      for (std::size_t k = i + 1; k < files.size(); ++k) ::unlink(files[k].path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace kova::builder
