// What the host program (kova run, the unit tests) tells the POSIX platform
// about the Windows process it stands in for: the module's Windows path, the
// command line, and what to do when the engine ends the process.
#pragma once

#include "core/string.h"

namespace kova::platform::posix {

void SetModuleFileName(const char* windowsPath);
void SetFullCommandLine(const char* commandLine);
void SetWindowsDirectory(const char* windowsPath);

// What GetOsVersion reports (default: Windows NT 5.1, build 2600, "Service
// Pack 3"), so an installer can be tried against any excluded-systems mask.
void SetOsVersion(u32 major, u32 minor, u32 build, u32 platformId, const char* servicePack);

// Called by ExitProcess before the host process exits; a handler that does
// not return (longjmp, its own exit) takes over completely.
using ExitHandler = void (*)(int code);
void SetExitHandler(ExitHandler handler);

// Deletes the program file the engine asked to delete after its end
// (platform::DeleteAfterExit), as the batch on Windows would; ExitProcess
// calls it before the exit handler.
void CarryOutSelfDeletion();

// Lets large fresh buffers have their pages mapped ahead of the writer on a
// thread of their own (core::PagesAhead).
void MapPagesAhead();

}  // namespace kova::platform::posix
