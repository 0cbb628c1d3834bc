// Starting programs on POSIX. The command line is a Windows one: its first
// token names the program by a Windows path (quoted, or up to the first
// blank), found as CreateProcessA finds it (".exe" added when the name has no
// extension; a bare name is looked for in the current directory, the system
// folders and the Windows directory) and mapped into the sandbox; the rest is
// split into arguments by the C runtime's rules (quotes group, backslashes
// before a quote escape it). The program runs as a host program in the
// working directory's host folder. Window states have no meaning here; the
// idle priority class becomes the lowest scheduling priority, and the high
// one, which needs privileges on POSIX, is left out.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "core/array.h"
#include "core/memory.h"
#include "platform/child_process.h"
#include "platform/posix/errors.h"
#include "platform/posix/folder_cache.h"
#include "platform/posix/sandbox_paths.h"
#include "platform/process.h"

namespace kova::platform {
namespace {

using posix::Fail;

constexpr SystemError kErrorBadExeFormat = 193;
constexpr u32 kStillActive = 259;

struct PosixProcess {
  pid_t pid;
  bool ended;
  bool statusKnown;  // false when someone else reaped it (SIGCHLD ignored)
  int status;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program token of a command line: quoted, or up to the first blank.
const char* TakeProgram(const char* p, core::String* program) {
  while (IsBlank(*p)) ++p;
  if (*p == '"') {
    const char* end = ++p;
    while (*end && *end != '"') ++end;
    *program = core::String(p, static_cast<i32>(end - p));
    return *end ? end + 1 : end;
  }
  const char* end = p;
  while (*end && !IsBlank(*end)) ++end;
  *program = core::String(p, static_cast<i32>(end - p));
  return end;
}

// The C runtime's splitting of the rest of the command line.
void SplitArguments(const char* p, core::Array<core::String>* arguments) {
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (!*p) return;
    core::String argument;
    bool quoted = false;
    while (*p && (quoted || !IsBlank(*p))) {
      if (*p == '\\') {
        i32 count = 0;
        while (*p == '\\') ++count, ++p;
        if (*p == '"') {
          for (i32 i = 0; i < count / 2; ++i) argument += '\\';
          if (count % 2) argument += *p++;
        } else {
          for (i32 i = 0; i < count; ++i) argument += '\\';
        }
      } else if (*p == '"') {
        if (quoted && p[1] == '"') {
          argument += '"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
      } else {
        argument += *p++;
      }
    }
    arguments->Append(argument);
  }
}

bool IsExecutableFile(const core::String& windowsPath, core::String* host) {
  posix::SandboxPath resolved;
  if (!posix::ResolvePath(windowsPath.CStr(), &resolved) || !resolved.exists || resolved.isDirectory) return false;
  *host = resolved.host;
  return true;
}

bool FindProgram(const core::String& program, core::String* host) {
  core::Array<core::String> candidates;
  bool hasFolder = program.Find("\\") >= 0 || program.Find("/") >= 0 || program.Find(":") >= 0;
  if (hasFolder) {
    candidates.Append(program);
  } else {
    core::String windows = WindowsDirectory();
    const char* const kFolders[] = {"", "SYSTEM32", "SYSTEM"};
    candidates.Append(posix::CurrentWindowsDirectory() + "\\" + program);
    for (const char* folder : kFolders) {
      core::String candidate(windows);
      if (*folder) candidate = candidate + "\\" + folder;
      candidates.Append(candidate + "\\" + program);
    }
  }
  i32 slash = program.FindBackward('\\', program.Length());
  bool hasExtension = program.Find(".", slash + 1) >= 0;
  for (const core::String& candidate : candidates) {
    if (IsExecutableFile(candidate, host)) return true;
    if (!hasExtension && IsExecutableFile(candidate + ".exe", host)) return true;
  }
  return false;
}

}  // namespace

ProcessHandle StartProcess(const char* commandLine, const char* workingDirectory, i32, u32 priority) {
  if (!commandLine || !*commandLine) {
    Fail(kErrorInvalidParameter);
    return nullptr;
  }
  core::String program, host;
  const char* rest = TakeProgram(commandLine, &program);
  if (program.IsEmpty() || !FindProgram(program, &host)) {
    Fail(kErrorFileNotFound);
    return nullptr;
  }
  if (access(host.CStr(), X_OK) != 0) {
    Fail(kErrorBadExeFormat);
    return nullptr;
  }
  posix::SandboxPath folder;
  const char* folderPath = workingDirectory && *workingDirectory ? workingDirectory : nullptr;
  core::String current = posix::CurrentWindowsDirectory();
  if (!posix::ResolvePath(folderPath ? folderPath : current.CStr(), &folder) || !folder.isDirectory) {
    Fail(kErrorDirectory);
    return nullptr;
  }

  core::Array<core::String> arguments;
  arguments.Append(host);
  SplitArguments(rest, &arguments);
  auto** argv = static_cast<char**>(core::Allocate(sizeof(char*) * static_cast<std::size_t>(arguments.Size() + 1)));
  for (i32 i = 0; i < arguments.Size(); ++i) argv[i] = arguments[i].Data() ? arguments[i].Data() : const_cast<char*>("");
  argv[arguments.Size()] = nullptr;

  // exec's failure comes back through a pipe that a successful exec closes.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    core::Release(argv);
    posix::FailFromErrno(errno);
    return nullptr;
  }
  // The child may change any folder the run remembers; what the run has
  // printed comes before what the child prints.
  posix::ForgetFolders();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int error = 0;
    if (chdir(folder.host.CStr()) != 0) error = errno;
    if (!error && priority == kPriorityIdle) setpriority(PRIO_PROCESS, 0, 19);
    if (!error) {
      execv(host.CStr(), argv);
      error = errno;
    }
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  core::Release(argv);
  if (pid < 0) {
    close(report[0]);
    posix::FailFromErrno(errno);
    return nullptr;
  }
  int error = 0;
  ssize_t n;
  while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (n > 0) {
    waitpid(pid, nullptr, 0);
    posix::FailFromErrno(error);
    return nullptr;
  }
  auto* process = static_cast<PosixProcess*>(core::Allocate(sizeof(PosixProcess)));
  *process = PosixProcess{pid, false, false, 0};
  return process;
}

bool WaitForProcess(ProcessHandle handle, u32 milliseconds) {
  auto* process = static_cast<PosixProcess*>(handle);
  if (!process) return Fail(kErrorInvalidHandle);
  u32 start = TickCount();
  while (!process->ended) {
    int status = 0;
    pid_t done = waitpid(process->pid, &status, milliseconds == kWaitForever ? 0 : WNOHANG);
    if (done == process->pid) {
      process->ended = true;
      process->statusKnown = true;
      process->status = status;
      break;
    }
    if (done < 0 && errno == ECHILD) {
      process->ended = true;
      break;
    }
    if (done < 0 && errno != EINTR) return posix::FailFromErrno(errno);
    if (milliseconds != kWaitForever) {
      if (TickCount() - start >= milliseconds) return false;
      SleepMilliseconds(1);
    }
  }
  return true;
}

bool ProcessExitCode(ProcessHandle handle, u32* code) {
  auto* process = static_cast<PosixProcess*>(handle);
  if (!process) return Fail(kErrorInvalidHandle);
  if (!process->ended && !WaitForProcess(handle, 0)) {
    *code = kStillActive;
    return true;
  }
  if (!process->statusKnown) return Fail(kErrorInvalidHandle);
  // A program ended by a signal reports it in the NTSTATUS error range.
  *code = WIFEXITED(process->status) ? static_cast<u32>(WEXITSTATUS(process->status))
                                     : 0xC0000000u | static_cast<u32>(WTERMSIG(process->status));
  return true;
}

void CloseProcess(ProcessHandle handle) {
  auto* process = static_cast<PosixProcess*>(handle);
  if (!process) return;
  // Closing the handle leaves the program running, as on Windows; one that
  // has ended is reaped now.
  if (!process->ended) waitpid(process->pid, nullptr, WNOHANG);
  core::Release(process);
}

bool OpenWithShell(const char*, const char*) { return Fail(kErrorCallNotImplemented); }

}  // namespace kova::platform
