// Extracting files; see extractor.h.
#include "builder/extractor.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "builder/ansi_text.h"
#include "builder/flag_names.h"

namespace kova::builder {
namespace {

namespace fs = std::filesystem;

// The folder below the directory that a record's type and flags choose.
std::vector<std::string> TargetFolder(const FileRecord& r, const std::string& uninstallSubdir) {
  if (r.flags & kFileFlagUninstallDir)
    return uninstallSubdir.empty() ? std::vector<std::string>{} : SplitRecordName(AnsiToUtf8(uninstallSubdir));
  switch (r.type) {
    case kFileTypeShared: return {"%SharedDir%"};
    case kFileTypeFont: return {"%FontDir%"};
    case kFileTypeSystem: return {"%SystemDir%"};
    default: return {};
  }
}

// Whether an existing part of the path below root is a symbolic link, which
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

std::string Label(std::size_t index, const std::string& name) {
  return "file " + std::to_string(index + 1) + " '" + AnsiToUtf8(name) + "'";
}

}  // namespace

bool PlanExtraction(const InstallerContents& contents, const std::string& directory, std::vector<OutputFile>& files,
                    std::string& error) {
  files.clear();
  if (!contents.Ok() || !contents.streamRead) {
    error = "the installer is not sound; nothing written";
    return false;
  }
  const core::String& subdir = contents.script.uninstallSubdir;
  std::string uninstallSubdir(subdir.CStr(), static_cast<std::size_t>(subdir.Length()));
  std::string why;
  if (!uninstallSubdir.empty() && !CheckRecordName(uninstallSubdir, why)) {
    error = "refusing the uninstall folder '" + AnsiToUtf8(uninstallSubdir) + "': " + why + "; nothing written";
    return false;
  }
  fs::path root(directory);
  std::map<std::string, std::size_t> targets;
  for (std::size_t i = 0; i < contents.records.size(); ++i) {
    const FileRecord& r = contents.records[i].record;
    if (!CheckRecordName(r.name, why)) {
      error = "refusing " + Label(i, r.name) + ": " + why + "; nothing written";
      return false;
    }
    std::vector<std::string> parts = TargetFolder(r, uninstallSubdir);
    for (const std::string& part : SplitRecordName(r.name)) parts.push_back(AnsiToUtf8(part));
    std::string which;
    if (CrossesLink(root, parts, which)) {
      error = "refusing " + Label(i, r.name) + ": '" + which + "' is a symbolic link; nothing written";
      return false;
    }
    fs::path target = root;
    for (const std::string& part : parts) target /= part;
    targets[target.string()] = i;
  }
  for (const auto& [target, index] : targets) {
    const ReadRecord& r = contents.records[index];
    OutputFile file;
    file.path = target;
    auto data = contents.stream.begin() + static_cast<std::ptrdiff_t>(r.dataOffset);
    file.bytes.assign(data, data + static_cast<std::ptrdiff_t>(r.dataSize));
    file.stamp = r.record.stamp;
    files.push_back(std::move(file));
  }
  return true;
}

bool ExtractFiles(const InstallerContents& contents, const std::string& directory, std::vector<std::string>& written,
                  std::string& error) {
  written.clear();
  std::vector<OutputFile> files;
  if (!PlanExtraction(contents, directory, files, error)) return false;
  for (const OutputFile& file : files) {
    std::error_code ec;
    fs::create_directories(fs::path(file.path).parent_path(), ec);
    if (ec) {
      error = "cannot create the folder of '" + file.path + "': " + ec.message();
      return false;
    }
  }
  if (!WriteFilesAtomically(files, error)) return false;
  for (const OutputFile& file : files) written.push_back(file.path);
  return true;
}

}  // namespace kova::builder
