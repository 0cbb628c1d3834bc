// kova run: runs an installer in the sandbox with the engine of the stub.
#pragma once

namespace kova::cli {

int RunInstaller(int argc, char** argv);

}  // namespace kova::cli
