// `kova extract`: writes an installer's files into a directory without
// running anything. The whole installer (volumes included) is read and
// checked first, every name is checked to stay inside the directory, and only
// then are the files written, each whole or not at all, with their stamps.
//
// Files go where the installer would put them, relative to DIR:
//   install-dir and startup files   DIR/<name>
//   files with the uninstall-dir flag  DIR/<UninstallSubdir>/<name>
//   shared files                    DIR/%SharedDir%/<name>
//   fonts                           DIR/%FontDir%/<name>
//   system files                    DIR/%SystemDir%/<name>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "builder/ansi_text.h"
#include "builder/flag_names.h"
#include "builder/host_files.h"
#include "builder/installer_reader.h"
#include "cli/commands.h"

namespace kova::cli {
namespace {

namespace fs = std::filesystem;

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

// The folder below DIR that a record's type and flags choose.
std::vector<std::string> TargetFolder(const builder::FileRecord& r, const std::string& uninstallSubdir) {
  if (r.flags & builder::kFileFlagUninstallDir) {
    return uninstallSubdir.empty() ? std::vector<std::string>{} : builder::SplitRecordName(uninstallSubdir);
  }
  switch (r.type) {
    case builder::kFileTypeShared: return {"%SharedDir%"};
    case builder::kFileTypeFont: return {"%FontDir%"};
    case builder::kFileTypeSystem: return {"%SystemDir%"};
    default: return {};
  }
}

// Refuses a path whose existing parts below root include a symbolic link: it
// could lead the write out of the directory.
bool CrossesLink(const fs::path& root, const std::vector<std::string>& parts, std::string& which) {
  fs::path at = root;
  for (const std::string& part : parts) {
    at /= part;
    struct stat info {};
    if (::lstat(at.c_str(), &info) != 0) return false;  // nothing there yet, nor below
    if (S_ISLNK(info.st_mode)) {
      which = at.string();
      return true;
    }
  }
  return false;
}

}  // namespace

int RunExtract(int argc, char** argv) {
  std::string path, output;
  bool quiet = false;
  for (int i = 0; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kExtractUsage, stdout);
      return 0;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kova extract: -o needs a directory\n");
        return 2;
      }
      output = argv[++i];
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "kova extract: unknown option '%s'\n\n%s", argv[i], kExtractUsage);
      return 2;
    } else if (path.empty()) {
      path = arg;
    } else {
      std::fprintf(stderr, "kova extract: more than one installer given ('%s')\n", argv[i]);
      return 2;
    }
  }
  if (path.empty() || output.empty()) {
    std::fprintf(stderr, "kova extract: %s\n\n%s", path.empty() ? "no installer given" : "no directory given (-o)",
                 kExtractUsage);
    return 2;
  }

  builder::InstallerContents contents;
  std::string error;
  if (!builder::ReadInstaller(path, contents, error)) {
    std::fprintf(stderr, "kova extract: %s\n", error.c_str());
    return 1;
  }
  if (!contents.Ok() || !contents.streamRead) {
    std::fprintf(stderr, "kova extract: %s: nothing written: ", path.c_str());
    if (contents.code == payload::kNoArchive) std::fprintf(stderr, "the file has no installation archive\n");
    else if (contents.code != 0)
      std::fprintf(stderr, "corrupt archive: error code %d (%s)%s%s\n", contents.code,
                   builder::CorruptCodeMeaning(contents.code), contents.detail.empty() ? "" : ": ",
                   builder::AnsiToUtf8(contents.detail).c_str());
    else std::fprintf(stderr, "%s\n", contents.volumeProblem.c_str());
    return 1;
  }

  std::string uninstallSubdir(contents.script.uninstallSubdir.CStr(),
                              static_cast<std::size_t>(contents.script.uninstallSubdir.Length()));
  std::string why;
  if (!uninstallSubdir.empty() && !builder::CheckRecordName(uninstallSubdir, why)) {
    std::fprintf(stderr, "kova extract: refusing the uninstall folder '%s': %s; nothing written\n",
                 builder::AnsiToUtf8(uninstallSubdir).c_str(), why.c_str());
    return 1;
  }

  // Every name is checked before anything is written; a later record for the
  // same target replaces an earlier one, as it would on installation.
  fs::path root(output);
  std::map<std::string, std::size_t> targets;
  std::vector<std::vector<std::string>> partsOf(contents.records.size());
  for (std::size_t i = 0; i < contents.records.size(); ++i) {
    const builder::FileRecord& r = contents.records[i].record;
    if (!builder::CheckRecordName(r.name, why)) {
      std::fprintf(stderr, "kova extract: refusing file %zu '%s': %s; nothing written\n", i + 1,
                   builder::AnsiToUtf8(r.name).c_str(), why.c_str());
      return 1;
    }
    std::vector<std::string> parts = TargetFolder(r, uninstallSubdir);
    for (std::string& part : builder::SplitRecordName(r.name)) parts.push_back(builder::AnsiToUtf8(part));
    std::string which;
    if (CrossesLink(root, parts, which)) {
      std::fprintf(stderr, "kova extract: refusing file %zu '%s': '%s' is a symbolic link; nothing written\n", i + 1,
                   builder::AnsiToUtf8(r.name).c_str(), which.c_str());
      return 1;
    }
    fs::path target = root;
    for (const std::string& part : parts) target /= part;
    targets[target.string()] = i;
    partsOf[i] = std::move(parts);
  }

  std::vector<builder::OutputFile> files;
  for (const auto& [target, index] : targets) {
    const builder::ReadRecord& r = contents.records[index];
    std::error_code ec;
    fs::create_directories(fs::path(target).parent_path(), ec);
    if (ec) {
      std::fprintf(stderr, "kova extract: cannot create the folder of '%s': %s\n", target.c_str(),
                   ec.message().c_str());
      return 1;
    }
    builder::OutputFile file;
    file.path = target;
    auto data = contents.stream.begin() + static_cast<std::ptrdiff_t>(r.dataOffset);
    file.bytes.assign(data, data + static_cast<std::ptrdiff_t>(r.dataSize));
    file.stamp = r.record.stamp;
    files.push_back(std::move(file));
  }
  if (!builder::WriteFilesAtomically(files, error)) {
    std::fprintf(stderr, "kova extract: %s\n", error.c_str());
    return 1;
  }
  if (!quiet) {
    for (const builder::OutputFile& f : files) std::printf("%s\n", f.path.c_str());
    std::printf("kova extract: %zu file%s written to %s\n", files.size(), files.size() == 1 ? "" : "s",
                output.c_str());
  }
  return 0;
}

}  // namespace kova::cli
