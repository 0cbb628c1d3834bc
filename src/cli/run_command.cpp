// kova run [--root DIR] SETUP.exe [switches]: the installer runs natively in
// the sandbox: its drives are folders under the root, its registry the
// root's registry.db, its questions and progress on the terminal. The engine
// is the stub's own; only the platform layer differs.
#include "cli/run_command.h"

#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "install/install_texts.h"
#include "payload/fatal.h"
#include "platform/posix/host.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/sandbox_paths.h"
#include "platform/version.h"
#include "setup/entry.h"

namespace kova::cli {
namespace {

constexpr const char* kRunUsage =
    "Usage: kova run [--root DIR] [--os NAME] SETUP.exe [/a] [/d:\"dir\"] [/n:\"name\"] [/u:\"name\"]\n"
    "\n"
    "Runs an installer in a sandbox: drives C:, D:, ... are folders drive_c/, drive_d/, ... under\n"
    "the root, Z: is the host's /, the registry is the root's registry.db. Questions are asked on\n"
    "the terminal (or read line by line from standard input; an empty line or the end of input\n"
    "takes the default answer); /a answers nothing and takes every default.\n"
    "\n"
    "Options:\n"
    "  --root DIR   the sandbox root (default: ./kova-root)\n"
    "  --os NAME    the Windows version the installer sees: 3.1, 95, 98, me, nt3.51, nt4,\n"
    "               2000, xp (the default), vista, 7, 10\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status:\n"
    "  0  the installer ended normally\n"
    "  1  it ended with a fatal error (its box is printed)\n"
    "  2  usage error\n"
    "  3  the installation ran to its end with errors: files or folders that could not be\n"
    "     written, registry entries that failed; the error text is printed on standard\n"
    "     error, in automatic mode too\n";

// The stub reads one command line and splits it itself at blanks outside
// double quotes, keeping the quotes in the token; a switch's value loses one
// pair of enclosing quotes. So a switch whose value has a blank is passed as
// one types it on Windows, /d:"C:\Program Files\X"; an argument that holds
// quotes already is passed as written; any other one with a blank is
// quoted whole.
void AppendArgument(std::string& line, const std::string& argument) {
  line += ' ';
  bool blank = argument.find_first_of(" \t\r\n") != std::string::npos;
  if (!argument.empty() && (!blank || argument.find('"') != std::string::npos)) {
    line += argument;
    return;
  }
  std::size_t colon = argument.find(':');
  bool isSwitch = (argument[0] == '/' || argument[0] == '-') && colon != std::string::npos && colon >= 2;
  for (std::size_t i = 1; isSwitch && i < colon; ++i)
    isSwitch = std::isalpha(static_cast<unsigned char>(argument[i])) != 0;
  std::size_t quoteFrom = isSwitch ? colon + 1 : 0;
  line += argument.substr(0, quoteFrom) + '"' + argument.substr(quoteFrom) + '"';
}

// The Windows versions an installer can be shown, as GetVersionExA reports
// them.
struct SystemVersion {
  const char* name;
  u32 major, minor, build, platformId;
  const char* servicePack;
};

constexpr SystemVersion kSystems[] = {
    {"3.1", 3, 10, 0, platform::kPlatformWin32s, ""},
    {"95", 4, 0, 950, platform::kPlatformWindows, ""},
    {"98", 4, 10, 2222, platform::kPlatformWindows, " A "},
    {"me", 4, 90, 3000, platform::kPlatformWindows, " "},
    {"nt3.51", 3, 51, 1057, platform::kPlatformNt, "Service Pack 5"},
    {"nt4", 4, 0, 1381, platform::kPlatformNt, "Service Pack 6"},
    {"2000", 5, 0, 2195, platform::kPlatformNt, "Service Pack 4"},
    {"xp", 5, 1, 2600, platform::kPlatformNt, "Service Pack 3"},
    {"vista", 6, 0, 6002, platform::kPlatformNt, "Service Pack 2"},
    {"7", 6, 1, 7601, platform::kPlatformNt, "Service Pack 1"},
    {"10", 10, 0, 19045, platform::kPlatformNt, ""},
};

const SystemVersion* FindSystem(const std::string& name) {
  for (const SystemVersion& system : kSystems)
    if (strcasecmp(system.name, name.c_str()) == 0) return &system;
  return nullptr;
}

// The installation's error text (lines ending in CR LF), which the
// installer itself shows only as a box saying that there were errors, and
// not at all in automatic mode.
void PrintErrorText(const core::String& text) {
  std::string lines;
  for (const char* c = text.CStr(); *c; ++c)
    if (*c != '\r') lines += *c;
  std::fputs("kova run: the installation ended with errors:\n", stderr);
  std::fputs(lines.c_str(), stderr);
  if (!lines.empty() && lines.back() != '\n') std::fputc('\n', stderr);
}

void ExitWithOutcome(int) {
  int status = kRunEndedNormally;
  if (payload::EndedByFatalError()) {
    status = kRunFatalError;
  } else if (!install::ErrorText().IsEmpty()) {
    PrintErrorText(install::ErrorText());
    status = kRunEndedWithErrors;
  }
  std::string restart = std::string(platform::posix::SandboxRoot().CStr()) + "/RestartRequested.txt";
  if (access(restart.c_str(), F_OK) == 0)
    std::fprintf(stderr, "kova run: the installer restarted Windows; 'kova reboot --root %s' carries out what "
                         "waits for the restart\n",
                 platform::posix::SandboxRoot().CStr());
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace

void BufferStandardError() {
  // A line per installed file, each its own write, costs about a tenth of
  // an installation of many small files. Questions, child processes and the
  // end of the run flush it; the progress lines do at least every 100 ms.
  static char buffer[1 << 15];
  if (!isatty(STDERR_FILENO)) std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
}

int RunInstaller(int argc, char** argv) {
  BufferStandardError();
  std::string root = "kova-root";
  std::string system = "xp";
  CommandLine line("kova run", kRunUsage);
  line.Value("--root", root, "a folder");
  line.Value("--os", system, "a Windows version");
  // The installer's path and everything after it are the installer's, even
  // what looks like an option of run's own (/a, -d:"x", -h).
  line.App().prefix_command();
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  const std::vector<std::string>& rest = line.Surplus();
  if (rest.empty()) return line.UsageOnly();
  const SystemVersion* version = FindSystem(system);
  if (!version) return line.UsageError("unknown Windows version '" + system + "'", true);
  const std::string& installer = rest[0];
  char* hostPath = realpath(installer.c_str(), nullptr);
  if (!hostPath || access(hostPath, R_OK) != 0) {
    std::free(hostPath);
    return line.UsageError("cannot read " + installer);
  }

  platform::posix::SetSandboxRoot(root.c_str());
  platform::posix::PrepareSandbox();
  core::String modulePath = platform::posix::WindowsPathOfHost(hostPath);
  std::free(hostPath);

  std::string arguments;
  for (std::size_t i = 1; i < rest.size(); ++i) AppendArgument(arguments, rest[i]);
  platform::posix::SetOsVersion(version->major, version->minor, version->build, version->platformId,
                                version->servicePack);
  RunEngine(modulePath, arguments);
}

void RunEngine(const core::String& modulePath, const std::string& arguments) {
  std::string commandLine = std::string("\"") + modulePath.CStr() + "\"" + arguments;
  platform::posix::SetModuleFileName(modulePath.CStr());
  platform::posix::SetFullCommandLine(commandLine.c_str());
  platform::posix::SetExitHandler(ExitWithOutcome);
  setup::RunStub(nullptr, arguments.empty() ? "" : arguments.c_str() + 1);
}

}  // namespace kova::cli
