// kova run: runs an installer in the sandbox with the engine of the stub.
#pragma once

#include <string>

#include "core/string.h"

namespace kova::cli {

// The exit status of kova run (2 is every command's usage error).
inline constexpr int kRunEndedNormally = 0;
inline constexpr int kRunFatalError = 1;
inline constexpr int kRunEndedWithErrors = 3;

int RunInstaller(int argc, char** argv);

// Standard error written in blocks when it is not a terminal.
void BufferStandardError();

// Runs the engine as the program modulePath (a Windows path in the sandbox,
// whose root is set) with the command line's arguments (each with its
// leading blank); ends the process with kova run's exit status.
[[noreturn]] void RunEngine(const core::String& modulePath, const std::string& arguments);

}  // namespace kova::cli
