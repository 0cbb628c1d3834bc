// The kova subcommands that main.cpp dispatches to. Each takes the arguments
// after its own name and returns the process exit status: 0 success, 1 a
// failure of the work itself (a bad manifest, a damaged installer), 2 a
// usage error.
#pragma once

namespace kova::cli {

int RunBuild(int argc, char** argv);
int RunInspect(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunSnapshot(int argc, char** argv);
int RunDiff(int argc, char** argv);
int RunUninstall(int argc, char** argv);
int RunReboot(int argc, char** argv);

}  // namespace kova::cli
