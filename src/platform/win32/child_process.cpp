// Starting programs on Win32 (CreateProcessA) and opening documents through
// the shell (ShellExecuteA).
#include "platform/child_process.h"

#include "core/string.h"
#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"

namespace kova::platform {

ProcessHandle StartProcess(const char* commandLine, const char* workingDirectory, i32 show, u32 priority) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (show != kShowDefault) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
  }
  PROCESS_INFORMATION started{};
  // CreateProcess may write into the command line (the wide form does), so
  // it gets a copy of its own.
  core::String line(commandLine);
  if (!CreateProcessA(nullptr, line.Data(), nullptr, nullptr, FALSE, priority, nullptr,
                      workingDirectory && *workingDirectory ? workingDirectory : nullptr, &startup, &started))
    return nullptr;
  CloseHandle(started.hThread);
  return started.hProcess;
}

bool WaitForProcess(ProcessHandle process, u32 milliseconds) {
  return WaitForSingleObject(static_cast<HANDLE>(process), milliseconds) == WAIT_OBJECT_0;
}

bool ProcessExitCode(ProcessHandle process, u32* code) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(static_cast<HANDLE>(process), &exitCode)) return false;
  *code = exitCode;
  return true;
}

void CloseProcess(ProcessHandle process) {
  if (process) CloseHandle(static_cast<HANDLE>(process));
}

// shell32 is loaded only when a document is opened: a static import would
// load it, and the COM machinery it brings, into every run of the installer,
// whose threads then race the process's exit.
bool OpenWithShell(const char* path, const char* directory) {
  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  auto shellExecute = reinterpret_cast<ShellExecuteFunction>(
      reinterpret_cast<void*>(win32::SystemProcedure("shell32.dll", "ShellExecuteA")));
  if (!shellExecute) return false;
  HINSTANCE result = shellExecute(nullptr, nullptr, path, nullptr, directory, SW_SHOW);
  // Success is any value above 32; smaller ones are error codes.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace kova::platform
