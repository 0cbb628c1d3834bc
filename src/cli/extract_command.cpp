// `kova extract`: writes an installer's files into a directory without
// running anything (builder/extractor.h says where each file goes). The whole
// installer, volumes included, is read and checked first, and every name is
// checked before the first file is written.
#include <cstdio>
#include <optional>
#include <string>

#include "builder/extractor.h"
#include "builder/installer_reader.h"
#include "cli/command_line.h"
#include "cli/commands.h"

namespace kova::cli {
namespace {
constexpr const char* kExtractUsage =
    "Usage: kova extract SETUP.exe -o DIR [-q]\n"
    "\n"
    "Writes the files of an installer (reading its volume files too) into DIR, with their\n"
    "stamps, without running anything. Files of the installation directory go to DIR;\n"
    "shared, font and system files to DIR/%SharedDir%, DIR/%FontDir% and DIR/%SystemDir%;\n"
    "files of the uninstall folder to DIR/<uninstall subdir>.\n"
    "\n"
    "The installer is verified first, and names that would leave DIR (absolute paths,\n"
    "drive letters, \"..\"; slash and backslash both separate) are refused: then nothing\n"
    "is written.\n"
    "\n"
    "  -o, --output DIR   the directory to write into (created when missing)\n"
    "  -q, --quiet        print nothing on success\n"
    "  -h, --help         show this text\n";

}  // namespace

int RunExtract(int argc, char** argv) {
  std::string path, output;
  bool quiet = false;
  CommandLine line("kova extract", kExtractUsage);
  line.Operand("SETUP.exe", path, "installer");
  line.Value("-o,--output", output, "a directory");
  line.App().add_flag("-q,--quiet", quiet);
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  if (path.empty()) return line.UsageError("no installer given", true);
  if (output.empty()) return line.UsageError("no directory given (-o)", true);

  builder::InstallerContents contents;
  std::string error;
  if (!builder::ReadInstaller(path, contents, error)) {
    std::fprintf(stderr, "kova extract: %s\n", error.c_str());
    return 1;
  }
  if (!contents.Ok() || !contents.streamRead) {
    std::fprintf(stderr, "kova extract: %s: %s; nothing written\n", path.c_str(),
                 builder::DescribeVerdict(contents).c_str());
    return 1;
  }

  std::vector<std::string> written;
  if (!builder::ExtractFiles(contents, output, written, error)) {
    std::fprintf(stderr, "kova extract: %s\n", error.c_str());
    return 1;
  }
  if (!quiet) {
    for (const std::string& f : written) std::printf("%s\n", f.c_str());
    std::printf("kova extract: %zu file%s written to %s\n", written.size(), written.size() == 1 ? "" : "s",
                output.c_str());
  }
  return 0;
}

}  // namespace kova::cli
