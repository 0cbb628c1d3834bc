// Process-level services of the operating system: who we are (module path,
// command line), the Windows directory, time, and ending the process.
#pragma once

#include "core/date_time.h"
#include "core/string.h"

namespace kova::platform {

// The program's own full file name (GetModuleFileNameA of the main module).
core::String ModuleFileName();
// The whole command line, program name included (GetCommandLineA).
core::String FullCommandLine();
core::String WindowsDirectory();
// GetSystemDirectoryA; on POSIX the SYSTEM folder of the Windows directory.
core::String SystemDirectory();

// Milliseconds since start-up, wrapping (GetTickCount).
u32 TickCount();
void SleepMilliseconds(u32 milliseconds);
core::DateTime LocalTime();

[[noreturn]] void ExitProcess(int code);

}  // namespace kova::platform
