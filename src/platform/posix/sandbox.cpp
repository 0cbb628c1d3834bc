// The sandbox root; see sandbox.h.
#include "platform/posix/sandbox.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace kova::platform::posix {
namespace {

core::String& Root() {
  static core::String root;
  return root;
}

}  // namespace

void SetSandboxRoot(const char* hostPath) {
  core::String path(hostPath && *hostPath ? hostPath : "kova-root");
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) {
      core::String absolute(cwd);
      absolute += '/';
      absolute += path;
      path = absolute;
    }
  }
  while (path.Length() > 1 && path[path.Length() - 1] == '/') path.SetLength(path.Length() - 1);
  Root() = path;
}

const core::String& SandboxRoot() {
  if (Root().IsEmpty()) SetSandboxRoot("kova-root");
  return Root();
}

}  // namespace kova::platform::posix
