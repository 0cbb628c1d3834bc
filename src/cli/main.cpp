// kova: builds installers from a manifest, reads and extracts them, and runs
// them in a sandbox on Linux with the same engine as the Windows stub.
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/reg_command.h"
#include "cli/run_command.h"
#include "platform/posix/host.h"

namespace {

constexpr const char* kUsage =
    "Usage: kova <command> [options]\n"
    "\n"
    "Commands:\n"
    "  build MANIFEST.toml -o SETUP.exe [--stub PATH]   make an installer\n"
    "  inspect SETUP.exe [--json]                       show and verify an installer\n"
    "  extract SETUP.exe -o DIR                         write an installer's files\n"
    "  run [--root DIR] SETUP.exe [switches]            run an installer in a sandbox\n"
    "  uninstall [--root DIR] NAME [/a]                 run an installed product's uninstaller\n"
    "  reboot [--root DIR]                              carry out what waits for a restart\n"
    "  reg export|query|set|delete [--root DIR] ...     read and change the sandbox registry\n"
    "  snapshot --root DIR -o FILE                      record the files and registry of a sandbox or Wine prefix\n"
    "  diff BEFORE.json AFTER.json [--json]             what changed between two snapshots\n"
    "\n"
    "Run 'kova COMMAND --help' for the options of a command.\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this text\n"
    "  -V, --version   show the version\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);  // the arguments after the command's name
};

constexpr Command kCommands[] = {
    {"build", kova::cli::RunBuild},       {"inspect", kova::cli::RunInspect}, {"extract", kova::cli::RunExtract},
    {"run", kova::cli::RunInstaller}, {"reg", kova::cli::RunReg},         {"snapshot", kova::cli::RunSnapshot},
    {"diff", kova::cli::RunDiff},         {"uninstall", kova::cli::RunUninstall}, {"reboot", kova::cli::RunReboot},
};

}  // namespace

int main(int argc, char** argv) {
  // Past the file size limit (ulimit -f) a write then fails with EFBIG and
  // the output writers clean up, instead of the process being killed with
  // its temporary files left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // A decoded file data stream is hundreds of megabytes of fresh memory.
  kova::platform::posix::MapPagesAhead();

  kova::cli::CommandLine kova("kova", kUsage);
  kova.App().set_version_flag("-V,--version", "kova " KOVA_VERSION)->trigger_on_parse();
  // The command's name and everything after it are the command's.
  kova.App().prefix_command();
  if (std::optional<int> status = kova.Parse(argc - 1, argv + 1)) return *status;
  const std::vector<std::string>& rest = kova.Surplus();
  if (rest.empty()) return kova.UsageOnly();
  if (rest[0] == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (rest[0] != command.name) continue;
    // The rest is the tail of argv: nothing after the name was parsed.
    int after = argc - static_cast<int>(rest.size()) + 1;
    return command.run(argc - after, argv + after);
  }
  return kova.UsageError("unknown command '" + rest[0] + "'", true);
}
