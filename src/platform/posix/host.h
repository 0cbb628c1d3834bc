// What the host program (kova run, the unit tests) tells the POSIX platform
// about the Windows process it stands in for: the module's Windows path, the
// command line, and what to do when the engine ends the process.
#pragma once

#include "core/string.h"

namespace kova::platform::posix {

void SetModuleFileName(const char* windowsPath);
void SetFullCommandLine(const char* commandLine);
void SetWindowsDirectory(const char* windowsPath);

// Called by ExitProcess before the host process exits; a handler that does
// not return (longjmp, its own exit) takes over completely.
using ExitHandler = void (*)(int code);
void SetExitHandler(ExitHandler handler);

}  // namespace kova::platform::posix
