// The self-deletion in the sandbox: there is no command interpreter to run a
// batch, so the deletion the batch would make is carried out when the
// engine ends the process (ExitProcess).
#include "platform/self_deletion.h"

#include "core/string.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/posix/host.h"

namespace kova::platform {
namespace {

struct Pending {
  bool scheduled = false;
  core::String program;
  core::String uninstallFolder;
  core::String installFolder;
};

Pending& State() {
  static Pending pending;
  return pending;
}

}  // namespace

void DeleteAfterExit(const SelfDeletion& deletion) {
  Pending& pending = State();
  pending.scheduled = true;
  pending.program = deletion.program;
  pending.uninstallFolder = deletion.uninstallFolder;
  pending.installFolder = deletion.installFolder;
}

namespace posix {

void CarryOutSelfDeletion() {
  Pending& pending = State();
  if (!pending.scheduled) return;
  pending.scheduled = false;
  RemoveFile(pending.program.CStr());
  if (!pending.uninstallFolder.IsEmpty()) RemoveEmptyDirectory(pending.uninstallFolder.CStr());
  RemoveEmptyDirectory(pending.installFolder.CStr());
}

}  // namespace posix
}  // namespace kova::platform
