// kova run: runs an installer in the sandbox with the engine of the stub.
#pragma once

namespace kova::cli {

// The exit status of kova run (2 is every command's usage error).
inline constexpr int kRunEndedNormally = 0;
inline constexpr int kRunFatalError = 1;
inline constexpr int kRunEndedWithErrors = 3;

int RunInstaller(int argc, char** argv);

}  // namespace kova::cli
