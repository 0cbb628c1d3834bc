// Process-level services of the operating system: who we are (module path,
// command line), the Windows directory, time, and ending the process.
#pragma once

#include "core/date_time.h"
#include "core/string.h"

namespace kova::platform {

// The program's own full file name (GetModuleFileNameA of the main module).
core::String ModuleFileName();
// The size bytes at rva of the running program's own image as the system
// loaded it (GetModuleHandleA of no name), when they lie in one readable
// section within both its virtual and its raw size, so that they are the
// file's bytes; null otherwise, and always on POSIX, where the sandbox runs
// installers from their files rather than as its own image.
const u8* ProgramImageBytes(u32 rva, u32 size);
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
