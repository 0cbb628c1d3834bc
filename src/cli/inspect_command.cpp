// `kova inspect`: shows what an installer holds and whether the stub would
// accept it, as text or JSON. The verdict comes from builder::ReadInstaller,
// which checks in the stub's order with the engine's code; the exit status
// is 1 when the stub would stop with an error (or ask for a volume).
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "builder/host_files.h"
#include "builder/installer_reader.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/inspect_fields.h"
#include "cli/inspect_report.h"
#include "format/archive.h"
#include "format/corrupt_codes.h"

namespace kova::cli {
namespace {

constexpr const char* kInspectUsage =
    "Usage: kova inspect SETUP.exe [--json] [--save-script PATH] [--save-uninstaller PATH]\n"
    "\n"
    "Shows an installer's archive header, every install-script item, the languages and\n"
    "messages, and the files, and verifies every checksum exactly as the installer does.\n"
    "Volume files <base><n>.KVA are read from beside the installer.\n"
    "\n"
    "  --json               print the same as one JSON object\n"
    "  --save-script PATH   also write the decompressed install script to PATH (as far as\n"
    "                       the script block could be decompressed)\n"
    "  --save-uninstaller PATH  also write the uninstaller image the installer makes of\n"
    "                       itself (the program without its archive section)\n"
    "  -h, --help           show this text\n"
    "\n"
    "Exit status: 0 when the installer is sound, 1 when it is damaged (the error code the\n"
    "installer would show is named) or a volume is missing, 2 on a usage error.\n";

}  // namespace

int RunInspect(int argc, char** argv) {
  std::string path, scriptOut, uninstallerOut;
  bool json = false;
  CommandLine line("kova inspect", kInspectUsage);
  line.Operand("SETUP.exe", path, "installer");
  line.App().add_flag("--json", json);
  line.Value("--save-script", scriptOut, "a path");
  line.Value("--save-uninstaller", uninstallerOut, "a path");
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  if (path.empty()) return line.UsageError("no installer given", true);
  builder::InstallerContents contents;
  std::string error;
  if (!builder::ReadInstaller(path, contents, error)) {
    std::fprintf(stderr, "kova inspect: %s\n", error.c_str());
    return 1;
  }
  if (!scriptOut.empty()) {
    const core::ByteBuffer& script = contents.archive.script;
    if (!contents.headerRead || contents.code == format::kCorruptScriptDecode) {
      std::fprintf(stderr, "kova inspect: %s: the install script could not be decompressed; nothing saved\n",
                   path.c_str());
    } else if (!builder::WriteFilesAtomically(
                   {{scriptOut, std::vector<u8>(script.Data(), script.Data() + script.Size()), {}}}, error)) {
      std::fprintf(stderr, "kova inspect: %s\n", error.c_str());
      return 1;
    }
  }
  if (!uninstallerOut.empty()) {
    const core::ByteBuffer& image = contents.uninstallerImage;
    if (image.IsEmpty()) {
      std::fprintf(stderr, "kova inspect: %s: no uninstaller image could be built; nothing saved\n", path.c_str());
    } else if (!builder::WriteFilesAtomically(
                   {{uninstallerOut, std::vector<u8>(image.Data(), image.Data() + image.Size()), {}}}, error)) {
      std::fprintf(stderr, "kova inspect: %s\n", error.c_str());
      return 1;
    }
  }
  InspectReport report;
  DescribeInstaller(contents, report);
  std::fputs((json ? report.JsonText() : report.Text()).c_str(), stdout);
  if (!contents.Ok()) {
    std::fprintf(stderr, "kova inspect: %s: %s\n", path.c_str(), builder::DescribeVerdict(contents).c_str());
    return 1;
  }
  return 0;
}

}  // namespace kova::cli
