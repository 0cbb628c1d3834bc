// kova: builds installers from a manifest, reads and extracts them, and runs
// them in a sandbox on Linux with the same engine as the Windows stub.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli/commands.h"
#include "cli/reg_command.h"
#include "cli/run_command.h"

namespace {

constexpr const char* kUsage =
    "Usage: kova <command> [options]\n"
    "\n"
    "Commands:\n"
    "  build MANIFEST.toml -o SETUP.exe [--stub PATH]   make an installer\n"
    "  inspect SETUP.exe [--json]                       show and verify an installer\n"
    "  extract SETUP.exe -o DIR                         write an installer's files\n"
    "  run [--root DIR] SETUP.exe [switches]            run an installer in a sandbox\n"
    "  uninstall [--root DIR] NAME                      run an installed product's uninstaller\n"
    "  reg export|query|set|delete [--root DIR] ...     read and change the sandbox registry\n"
    "\n"
    "Run 'kova COMMAND --help' for the options of a command.\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this text\n"
    "  -V, --version   show the version\n";

}  // namespace

int main(int argc, char** argv) {
  // Past the file size limit (ulimit -f) a write then fails with EFBIG and
  // the output writers clean up, instead of the process being killed with
  // its temporary files left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string_view command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "-V" || command == "--version") {
    std::printf("kova %s\n", KOVA_VERSION);
    return 0;
  }
  if (command == "build") return kova::cli::RunBuild(argc - 2, argv + 2);
  if (command == "inspect") return kova::cli::RunInspect(argc - 2, argv + 2);
  if (command == "extract") return kova::cli::RunExtract(argc - 2, argv + 2);
  if (command == "reg") return kova::cli::RunReg(argc - 2, argv + 2);
  if (command == "run") return kova::cli::RunInstaller(argc - 2, argv + 2);
  std::fprintf(stderr, "kova: unknown command '%s'\n\n%s", argv[1], kUsage);
  return 2;
}
