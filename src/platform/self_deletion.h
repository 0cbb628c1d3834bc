// Deleting the running program's own file once it has ended: the
// uninstaller's last step. A program cannot delete its own file while it
// runs, so the deletion is handed to something that outlives it.
#pragma once

#include "core/types.h"

namespace kova::platform {

struct SelfDeletion {
  const char* program = nullptr;          // the file to delete
  const char* uninstallFolder = nullptr;  // removed next when empty (may be empty)
  const char* installFolder = nullptr;    // removed last when empty
  // Windows: the batch that does it, where it is written, and the command
  // line that runs it (minimised, not waited for).
  const char* batchPath = nullptr;
  const char* batchText = nullptr;
  const char* commandLine = nullptr;
};

// Windows: writes and starts the batch. POSIX: the sandbox carries the
// deletion out itself as the process ends.
void DeleteAfterExit(const SelfDeletion& deletion);

}  // namespace kova::platform
