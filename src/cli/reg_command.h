// kova reg: reads and changes the registry of a sandbox (registry.db in its
// root) for people and tests: export as REGEDIT4 text, query, set, delete.
#pragma once

namespace kova::cli {

// The arguments after "reg"; returns the exit status: 0 success, 1 the work
// failed (a key or value not found, the database unusable), 2 a usage error.
int RunReg(int argc, char** argv);

}  // namespace kova::cli
