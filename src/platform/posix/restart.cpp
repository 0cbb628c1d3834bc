// The restart in the sandbox: the host is never restarted. The request is
// recorded in the file RestartRequested.txt of the root (with the flags the
// call would have used); kova reboot carries out the delayed moves and
// removes the record.
#include "platform/restart.h"

#include <cstdio>

#include "core/string.h"
#include "platform/posix/host.h"
#include "platform/posix/sandbox.h"

namespace kova::platform {

void RestartWindows(i32 mode, bool force) {
  core::String path = posix::SandboxRoot();
  path += "/RestartRequested.txt";
  if (std::FILE* file = std::fopen(path.CStr(), "w")) {
    std::fprintf(file, "ExitWindowsEx 0x%x\n", static_cast<unsigned>(ExitWindowsFlags(mode, force)));
    std::fclose(file);
  }
}

}  // namespace kova::platform
