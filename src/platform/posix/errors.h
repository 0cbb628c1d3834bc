// Inside the POSIX platform: setting the Win32-style last error, from an
// errno value or directly. Each failing call sets it once, just before it
// returns, so what the engine reads afterwards is what that call met.
#pragma once

#include "platform/system_error.h"

namespace kova::platform::posix {

// The Win32 number closest to an errno value.
SystemError ErrorFromErrno(int error);

// Set the last error and return the value a failing call returns.
bool Fail(SystemError error);
bool FailFromErrno(int error);

}  // namespace kova::platform::posix
