// `kova build`: reads a manifest, builds the installer (and its volumes) and
// writes them only when everything succeeded.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "builder/host_files.h"
#include "builder/installer_writer.h"
#include "builder/manifest.h"
#include "cli/command_line.h"
#include "cli/commands.h"

namespace kova::cli {
namespace {

constexpr const char* kBuildUsage =
    "Usage: kova build MANIFEST.toml -o SETUP.exe [--stub PATH] [--level fast|best]\n"
    "\n"
    "Builds an installer from a manifest (see docs/manifest.md).\n"
    "\n"
    "  -o, --output PATH   the installer to write; volume files <base><n>.KVA go beside it\n"
    "  --stub PATH         the setup stub to use (default: kovastub.exe beside kova, then\n"
    "                      the build tree's build/win32/kovastub.exe; or $KOVA_STUB)\n"
    "  --level fast|best   compression effort (default: the manifest's [build] compression,\n"
    "                      else best)\n"
    "  -q, --quiet         print nothing on success\n"
    "  -h, --help          show this text\n"
    "\n"
    "The output is written only when the whole build succeeds, and the same inputs always\n"
    "give the same bytes.\n";

std::filesystem::path ExecutableDirectory() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

// The stub: $KOVA_STUB, then kovastub.exe beside kova (an installed tool),
// then the shipped stub of the build tree kova was built in.
std::string FindStub() {
  if (const char* env = std::getenv("KOVA_STUB"); env && *env) return env;
  std::filesystem::path dir = ExecutableDirectory();
  std::vector<std::filesystem::path> candidates;
  if (!dir.empty()) {
    candidates.push_back(dir / "kovastub.exe");
    candidates.push_back(dir.parent_path() / "win32" / "kovastub.exe");  // build/<preset>/kova
  }
#ifdef KOVA_SOURCE_DIR
  candidates.push_back(std::filesystem::path(KOVA_SOURCE_DIR) / "build" / "win32" / "kovastub.exe");
#endif
  for (const auto& candidate : candidates) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  }
  return {};
}

std::string Sized(u64 bytes) {
  char buffer[64];
  if (bytes >= 10 * 1024 * 1024) std::snprintf(buffer, sizeof buffer, "%.1f MiB", bytes / 1048576.0);
  else if (bytes >= 10 * 1024) std::snprintf(buffer, sizeof buffer, "%.1f KiB", bytes / 1024.0);
  else std::snprintf(buffer, sizeof buffer, "%llu bytes", static_cast<unsigned long long>(bytes));
  return buffer;
}

}  // namespace

int RunBuild(int argc, char** argv) {
  std::string manifestPath, output, stubPath, levelName;
  bool quiet = false;
  CommandLine line("kova build", kBuildUsage);
  line.Operand("MANIFEST.toml", manifestPath, "manifest");
  line.Value("-o,--output", output);
  line.Value("--stub", stubPath);
  CLI::Option* levelOption = line.Value("--level", levelName);
  line.App().add_flag("-q,--quiet", quiet);
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  std::optional<builder::CompressionLevel> level;
  if (levelOption->count() > 0) {
    if (levelName == "fast") level = builder::CompressionLevel::kFast;
    else if (levelName == "best") level = builder::CompressionLevel::kBest;
    else return line.UsageError("--level is fast or best, not '" + levelName + "'");
  }
  if (manifestPath.empty()) return line.UsageError("no manifest given", true);
  if (output.empty()) return line.UsageError("no output given (-o)", true);

  std::string error;
  builder::Manifest manifest;
  if (!builder::ReadManifest(manifestPath, manifest, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  builder::BuildOptions options;
  if (stubPath.empty()) stubPath = FindStub();
  if (stubPath.empty()) {
    std::fprintf(stderr, "kova build: no stub found: build the win32 preset, set KOVA_STUB or give --stub PATH\n");
    return 1;
  }
  if (!builder::ReadWholeFile(stubPath, options.stub, error) ||
      !builder::FileStampOf(stubPath, options.stubStamp, error)) {
    std::fprintf(stderr, "kova build: %s\n", error.c_str());
    return 1;
  }
  options.outputPath = output;
  options.level = level.value_or(manifest.level.value_or(builder::CompressionLevel::kBest));

  std::vector<builder::OutputFile> outputs;
  builder::BuildReport report;
  if (!builder::BuildInstaller(manifest, options, outputs, report, error) ||
      !builder::WriteFilesAtomically(outputs, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!quiet) {
    std::printf("%s: %zu file%s, %s of data; install script %s, %s compressed; file data %s stored\n",
                output.c_str(), report.fileCount, report.fileCount == 1 ? "" : "s", Sized(report.sourceBytes).c_str(),
                Sized(report.scriptBytes).c_str(), Sized(report.scriptStored).c_str(),
                Sized(report.streamStored).c_str());
    std::printf("%s: installer %s", output.c_str(), Sized(report.installerBytes).c_str());
    for (std::size_t i = 1; i < outputs.size(); ++i)
      std::printf("%s %s (%s)", i == 1 ? ";" : ",", outputs[i].path.c_str(), Sized(outputs[i].bytes.size()).c_str());
    std::printf("\n");
  }
  return 0;
}

}  // namespace kova::cli
