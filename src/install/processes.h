// Starting programs (batch files, the log viewer) and opening documents.
#pragma once

#include "core/types.h"
#include "platform/window.h"

namespace kova::install {

// RunProcess options.
inline constexpr u32 kRunWait = 0x1;            // wait for the program and return its exit code
inline constexpr u32 kRunIdlePriority = 0x4;
inline constexpr u32 kRunHighPriority = 0x8;
inline constexpr u32 kRunHidden = 0x10;
inline constexpr u32 kRunMaximized = 0x20;
inline constexpr u32 kRunMinimized = 0x40;
inline constexpr u32 kRunReportFailure = 0x80;  // a box when the program cannot be started
inline constexpr u32 kRunPumpMessages = 0x100;  // keep the windows alive while waiting

inline constexpr u32 kRunNotStarted = 0x80000000u;
inline constexpr u32 kRunNoExitCode = 0x80000001u;

// Starts the command line in workingDirectory (null or empty: the current
// one). Returns kRunNotStarted when it cannot be started, kRunNoExitCode
// when not waiting or the exit code cannot be read, else the exit code.
u32 RunProcess(const char* commandLine, u32 options, const char* workingDirectory);


// Opens a document with the program the shell associates with it, in the
// installer's folder; false for an empty path or when nothing was started.
bool OpenDocument(const char* path);

}  // namespace kova::install
