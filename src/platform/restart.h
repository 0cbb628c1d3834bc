// Restarting Windows at the end of an installation that replaced files in
// use: ExitWindowsEx with the shutdown privilege enabled for the call only.
// The sandbox never restarts its host: it records the request, and
// kova reboot carries out what waits for the restart.
#pragma once

#include "core/types.h"

namespace kova::platform {

// Modes: 1 power off, 2 reboot, 3 log off, any other shut down.
inline constexpr i32 kRestartReboot = 2;

// The ExitWindowsEx flags of a mode: EWX_FORCE (0x4) when forced, else
// EWX_FORCEIFHUNG (0x10); then EWX_POWEROFF (0x8), EWX_REBOOT (0x2),
// nothing (log off) or EWX_SHUTDOWN (0x1).
u32 ExitWindowsFlags(i32 mode, bool force);

// Enables SeShutdownPrivilege, calls ExitWindowsEx and puts the privilege
// back as it was. Failures are not reported.
void RestartWindows(i32 mode, bool force);

}  // namespace kova::platform
