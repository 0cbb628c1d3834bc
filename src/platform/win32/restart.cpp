// Restarting Windows: the shutdown privilege is enabled for the one call and
// then put back to what it was (the systems of the 9x family have no
// privileges; there the token calls fail and ExitWindowsEx needs none).
#include "platform/restart.h"

#include "platform/win32/windows.h"

namespace kova::platform {
namespace {

// Enables the privilege; previous receives its state before, for Restore.
bool EnablePrivilege(HANDLE token, const char* name, TOKEN_PRIVILEGES* previous) {
  TOKEN_PRIVILEGES wanted = {};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid)) return false;
  DWORD size = sizeof *previous;
  return AdjustTokenPrivileges(token, FALSE, &wanted, sizeof *previous, previous, &size) &&
         GetLastError() == ERROR_SUCCESS;
}

}  // namespace

void RestartWindows(i32 mode, bool force) {
  HANDLE token = nullptr;
  TOKEN_PRIVILEGES previous = {};
  bool enabled = false;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    enabled = EnablePrivilege(token, "SeShutdownPrivilege", &previous);
  ExitWindowsEx(ExitWindowsFlags(mode, force), 0);
  if (token) {
    if (enabled) AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
    CloseHandle(token);
  }
}

}  // namespace kova::platform
