// kova run [--root DIR] SETUP.exe [switches]: the installer runs natively in
// the sandbox: its drives are folders under the root, its registry the
// root's registry.db, its questions and progress on the terminal. The engine
// is the stub's own; only the platform layer differs.
#include "cli/run_command.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "payload/fatal.h"
#include "platform/posix/host.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/sandbox_paths.h"
#include "setup/entry.h"

namespace kova::cli {
namespace {

constexpr const char* kRunUsage =
    "Usage: kova run [--root DIR] SETUP.exe [/a] [/d:\"dir\"] [/n:\"name\"] [/u:\"name\"]\n"
    "\n"
    "Runs an installer in a sandbox: drives C:, D:, ... are folders drive_c/, drive_d/, ... under\n"
    "the root, Z: is the host's /, the registry is the root's registry.db. Questions are asked on\n"
    "the terminal (or read line by line from standard input; an empty line or the end of input\n"
    "takes the default answer); /a answers nothing and takes every default.\n"
    "\n"
    "Options:\n"
    "  --root DIR   the sandbox root (default: ./kova-root)\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 when the installer ended normally, 1 when it ended with a fatal error,\n"
    "2 for a usage error.\n";

// Windows rebuilds a program's command line from quoted tokens; so does this.
void AppendArgument(std::string& line, const char* argument) {
  line += ' ';
  if (*argument && !std::strpbrk(argument, " \t")) {
    line += argument;
    return;
  }
  line += '"';
  line += argument;
  line += '"';
}

void ExitWithOutcome(int) {
  std::fflush(nullptr);
  std::_Exit(payload::EndedByFatalError() ? 1 : 0);
}

}  // namespace

int RunInstaller(int argc, char** argv) {
  const char* root = "kova-root";
  int i = 0;
  for (; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
      std::fputs(kRunUsage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--root")) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kova run: --root needs a folder\n");
        return 2;
      }
      root = argv[++i];
      continue;
    }
    break;
  }
  if (i >= argc) {
    std::fputs(kRunUsage, stderr);
    return 2;
  }
  const char* installer = argv[i++];
  char* hostPath = realpath(installer, nullptr);
  if (!hostPath || access(hostPath, R_OK) != 0) {
    std::fprintf(stderr, "kova run: cannot read %s\n", installer);
    std::free(hostPath);
    return 2;
  }

  platform::posix::SetSandboxRoot(root);
  platform::posix::PrepareSandbox();
  core::String modulePath = platform::posix::WindowsPathOfHost(hostPath);
  std::free(hostPath);

  std::string arguments;
  for (; i < argc; ++i) AppendArgument(arguments, argv[i]);
  std::string commandLine = std::string("\"") + modulePath.CStr() + "\"" + arguments;
  platform::posix::SetModuleFileName(modulePath.CStr());
  platform::posix::SetFullCommandLine(commandLine.c_str());
  platform::posix::SetExitHandler(ExitWithOutcome);
  setup::RunStub(nullptr, arguments.empty() ? "" : arguments.c_str() + 1);
}

}  // namespace kova::cli
