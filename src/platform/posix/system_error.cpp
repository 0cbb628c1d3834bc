// The last error on POSIX: one process-wide number (the engine runs on one
// thread), errno translated into Win32 numbers, and the English texts Windows
// gives for the numbers this platform produces.
#include <errno.h>

#include "platform/posix/errors.h"
#include "platform/system_error.h"

namespace kova::platform {
namespace {

SystemError& Last() {
  static SystemError last = kErrorSuccess;
  return last;
}

struct ErrorText {
  SystemError error;
  const char* text;
};

// FormatMessageA's texts on English Windows, line break included.
constexpr ErrorText kTexts[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {17, "The system cannot move the file to a different disk drive.\r\n"},
    {18, "There are no more files.\r\n"},
    {19, "The media is write protected.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {53, "The network path was not found.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {131, "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {267, "The directory name is invalid.\r\n"},
};

}  // namespace

SystemError LastSystemError() { return Last(); }
void SetLastSystemError(SystemError error) { Last() = error; }

core::String SystemErrorText(SystemError error) {
  for (const ErrorText& entry : kTexts)
    if (entry.error == error) return core::String(entry.text);
  return core::String();
}

namespace posix {

SystemError ErrorFromErrno(int error) {
  switch (error) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EXDEV: return kErrorNotSameDevice;
    case EROFS: return kErrorWriteProtect;
    case EBUSY:
    case EAGAIN: return kErrorSharingViolation;
    case EEXIST: return kErrorFileExists;
    case EINVAL: return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENOSYS: return kErrorCallNotImplemented;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    default: return kErrorGeneralFailure;
  }
}

bool Fail(SystemError error) {
  Last() = error;
  return false;
}

bool FailFromErrno(int error) { return Fail(ErrorFromErrno(error)); }

}  // namespace posix
}  // namespace kova::platform
