// The self-deletion on Windows: a batch file run by the command interpreter,
// which outlives the program and retries until its file is free.
#include "platform/self_deletion.h"

#include <cstring>

#include "platform/child_process.h"
#include "platform/file_system.h"

namespace kova::platform {

void DeleteAfterExit(const SelfDeletion& deletion) {
  {
    ScopedFile file(OpenFileHandle(deletion.batchPath, kAccessWrite, 0, kCreateAlways, kAttributeNormal));
    if (!file) return;
    u32 length = static_cast<u32>(std::strlen(deletion.batchText));
    u32 done = 0;
    if (!WriteFileData(file.Get(), deletion.batchText, length, &done) || done != length) return;
  }
  constexpr i32 kShowMinimized = 6;
  ProcessHandle process = StartProcess(deletion.commandLine, nullptr, kShowMinimized, kPriorityNormal);
  if (process) CloseProcess(process);
}

}  // namespace kova::platform
