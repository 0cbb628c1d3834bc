// Starting other programs: CreateProcessA with a window state and a priority
// class, waiting for the program and reading its exit code; and opening a
// document with the program the shell associates with it (ShellExecuteA).
#pragma once

#include "core/types.h"

namespace kova::platform {

// ShowWindow states for the new program's first window; kShowDefault leaves
// the window to the program (no STARTF_USESHOWWINDOW).
inline constexpr i32 kShowDefault = -1;
inline constexpr i32 kShowHide = 0;
inline constexpr i32 kShowNormal = 1;
inline constexpr i32 kShowMaximized = 3;
inline constexpr i32 kShowShow = 5;
inline constexpr i32 kShowMinimize = 6;

// Priority classes (creation flags).
inline constexpr u32 kPriorityNormal = 0x20;
inline constexpr u32 kPriorityIdle = 0x40;
inline constexpr u32 kPriorityHigh = 0x80;

inline constexpr u32 kWaitForever = 0xFFFFFFFFu;

// A started program; null means none.
using ProcessHandle = void*;

// CreateProcessA(no application name, commandLine, no security attributes, no
// inherited handles, priority, no environment, workingDirectory (null: the
// current one)). The first token of the command line names the program.
ProcessHandle StartProcess(const char* commandLine, const char* workingDirectory, i32 show, u32 priority);
// WaitForSingleObject: true when the program has ended within milliseconds.
bool WaitForProcess(ProcessHandle process, u32 milliseconds);
// GetExitCodeProcess of an ended program.
bool ProcessExitCode(ProcessHandle process, u32* code);
void CloseProcess(ProcessHandle process);

// ShellExecuteA(no window, no verb, path, no parameters, directory, SW_SHOW):
// true when the shell started something.
bool OpenWithShell(const char* path, const char* directory);

// Owns one started program's handles.
class ScopedProcess {
 public:
  ScopedProcess() = default;
  explicit ScopedProcess(ProcessHandle process) : process_(process) {}
  ScopedProcess(const ScopedProcess&) = delete;
  ScopedProcess& operator=(const ScopedProcess&) = delete;
  ~ScopedProcess() {
    if (process_) CloseProcess(process_);
  }

  ProcessHandle Get() const { return process_; }
  explicit operator bool() const { return process_ != nullptr; }

 private:
  ProcessHandle process_ = nullptr;
};

}  // namespace kova::platform
