// The operating system's error numbers as the engine sees them. Every platform
// operation that fails leaves one of these behind, readable with
// LastSystemError() right after the call, as GetLastError() works on Windows.
// The numbers are the Win32 ones, so code above the seam maps them onto its
// own result codes once, for both platforms; the POSIX platform translates
// errno into the nearest Win32 number.
#pragma once

#include "core/string.h"

namespace kova::platform {

using SystemError = u32;

inline constexpr SystemError kErrorSuccess = 0;
inline constexpr SystemError kErrorFileNotFound = 2;
inline constexpr SystemError kErrorPathNotFound = 3;
inline constexpr SystemError kErrorTooManyOpenFiles = 4;
inline constexpr SystemError kErrorAccessDenied = 5;
inline constexpr SystemError kErrorInvalidHandle = 6;
inline constexpr SystemError kErrorNotEnoughMemory = 8;
inline constexpr SystemError kErrorNoMoreFiles = 18;
inline constexpr SystemError kErrorWriteProtect = 19;
inline constexpr SystemError kErrorGeneralFailure = 31;
inline constexpr SystemError kErrorSharingViolation = 32;
inline constexpr SystemError kErrorNotSameDevice = 17;
inline constexpr SystemError kErrorBadNetPath = 53;
inline constexpr SystemError kErrorFileExists = 80;
inline constexpr SystemError kErrorInvalidParameter = 87;
inline constexpr SystemError kErrorDiskFull = 112;
inline constexpr SystemError kErrorCallNotImplemented = 120;
inline constexpr SystemError kErrorInsufficientBuffer = 122;
inline constexpr SystemError kErrorInvalidName = 123;
inline constexpr SystemError kErrorNegativeSeek = 131;
inline constexpr SystemError kErrorDirNotEmpty = 145;
inline constexpr SystemError kErrorAlreadyExists = 183;
inline constexpr SystemError kErrorFilenameTooLong = 206;
inline constexpr SystemError kErrorDirectory = 267;

// GetLastError / SetLastError.
SystemError LastSystemError();
void SetLastSystemError(SystemError error);

// The system's own text for an error number (FormatMessageA from the system
// table, inserts ignored), as the system writes it, line break included. Empty
// when the system has no text for the number.
core::String SystemErrorText(SystemError error);

}  // namespace kova::platform
