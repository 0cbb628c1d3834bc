// Starting programs and opening documents; see processes.h.
#include "install/processes.h"

#include "core/string.h"
#include "payload/message_box.h"
#include "payload/system_paths.h"
#include "platform/child_process.h"

namespace kova::install {
u32 RunProcess(const char* commandLine, u32 options, const char* workingDirectory) {
  if (!commandLine || !*commandLine) return kRunNotStarted;
  i32 show = platform::kShowDefault;
  if (options & kRunMaximized)
    show = platform::kShowMaximized;
  else if (options & kRunMinimized)
    show = platform::kShowMinimize;
  else if (options & kRunHidden)
    show = platform::kShowHide;
  u32 priority = platform::kPriorityNormal;
  if (options & kRunHighPriority)
    priority = platform::kPriorityHigh;
  else if (options & kRunIdlePriority)
    priority = platform::kPriorityIdle;

  platform::ScopedProcess process(platform::StartProcess(
      commandLine, workingDirectory && *workingDirectory ? workingDirectory : nullptr, show, priority));
  if (!process) {
    if (options & kRunReportFailure) {
      core::String text("Unable to create process:\r\n");
      text += commandLine;
      payload::ShowBox(nullptr, text.CStr(), "Error", platform::kBoxIconHand);
    }
    return kRunNotStarted;
  }
  if (!(options & kRunWait)) return kRunNoExitCode;
  if (options & kRunPumpMessages) {
    while (!platform::WaitForProcess(process.Get(), 1)) platform::PumpMessages();
  } else {
    platform::WaitForProcess(process.Get(), platform::kWaitForever);
  }
  u32 code = 0;
  return platform::ProcessExitCode(process.Get(), &code) ? code : kRunNoExitCode;
}

bool OpenDocument(const char* path) {
  if (!path || !*path) return false;
  return platform::OpenWithShell(path, payload::GetSystemPaths().installerDir.CStr());
}

}  // namespace kova::install
