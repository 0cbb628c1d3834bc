// Process services on POSIX. The engine runs inside a host program standing in
// for a Windows process, so the module name and command line are what the host
// set (see posix/host.h), in Windows form.
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/posix/host.h"
#include "platform/process.h"

namespace kova::platform {
namespace {

struct HostProcess {
  core::String moduleFileName{"C:\\KOVASTUB.EXE"};
  core::String commandLine{"C:\\KOVASTUB.EXE"};
  core::String windowsDirectory{"C:\\WINDOWS"};
  posix::ExitHandler exitHandler = nullptr;
};

HostProcess& Host() {
  static HostProcess host;
  return host;
}

}  // namespace

namespace posix {

void SetModuleFileName(const char* windowsPath) { Host().moduleFileName = windowsPath; }
void SetFullCommandLine(const char* commandLine) { Host().commandLine = commandLine; }
void SetWindowsDirectory(const char* windowsPath) { Host().windowsDirectory = windowsPath; }
void SetExitHandler(ExitHandler handler) { Host().exitHandler = handler; }

}  // namespace posix

core::String ModuleFileName() { return Host().moduleFileName; }
const u8* ProgramImageBytes(u32 /*rva*/, u32 /*size*/) { return nullptr; }
core::String FullCommandLine() { return Host().commandLine; }
core::String WindowsDirectory() { return Host().windowsDirectory; }
core::String SystemDirectory() { return Host().windowsDirectory + "\\SYSTEM"; }

u32 TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<u32>(static_cast<u64>(now.tv_sec) * 1000u + static_cast<u64>(now.tv_nsec) / 1000000u);
}

void SleepMilliseconds(u32 milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

core::DateTime LocalTime() {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return core::MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                            local.tm_min, local.tm_sec);
}

void ExitProcess(int code) {
  posix::CarryOutSelfDeletion();
  if (Host().exitHandler) Host().exitHandler(code);
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace kova::platform
