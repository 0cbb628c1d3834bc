// kova snapshot --root DIR -o FILE and kova diff BEFORE AFTER [--json]: what
// an installer (or its uninstaller) did to a sandbox root or a Wine prefix.
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/snapshot.h"

namespace kova::cli {
namespace {

constexpr const char* kSnapshotUsage =
    "Usage: kova snapshot --root DIR -o FILE\n"
    "\n"
    "Records every file and folder of a sandbox root (its drive_* folders and registry.db)\n"
    "or of a Wine prefix (drive_c, system.reg and user.reg) with size, stamp and SHA-256, and\n"
    "every key and value of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, as JSON. Compare two\n"
    "snapshots with kova diff. (Wine writes its registry files some seconds after a change, and\n"
    "at once when the prefix's wineserver ends: run 'wineserver -w' first.)\n"
    "\n"
    "Options:\n"
    "  --root DIR   the sandbox root or Wine prefix\n"
    "  -o FILE      where to write the snapshot ('-' for standard output)\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 when written, 1 when the root cannot be read or the file written,\n"
    "2 for a usage error.\n";

constexpr const char* kDiffUsage =
    "Usage: kova diff BEFORE.json AFTER.json [--json]\n"
    "\n"
    "What changed between two snapshots of kova snapshot: files, folders and links, then\n"
    "registry keys and values, each line marked + (added), ~ (changed) or - (removed).\n"
    "\n"
    "Options:\n"
    "  --json       the differences as JSON: {\"added\": [...], \"changed\": [...], \"removed\": [...]}\n"
    "  -h, --help   show this text\n"
    "\n"
    "Exit status: 0 when the snapshots are the same, 1 when they differ, 2 for a usage error\n"
    "or a file that is not a snapshot.\n";

bool WriteText(const std::string& file, const std::string& text, std::string& error) {
  if (file == "-") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return true;
  }
  // Written whole under a temporary name, then renamed.
  std::string temporary = file + ".kova-tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      error = "cannot write " + file;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), file.c_str()) != 0) {
    std::remove(temporary.c_str());
    error = "cannot write " + file;
    return false;
  }
  return true;
}

bool ReadSnapshot(const std::string& file, Snapshot& snapshot, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file;
    return false;
  }
  nlohmann::json json = nlohmann::json::parse(in, nullptr, false);
  if (json.is_discarded()) {
    error = file + " is not JSON";
    return false;
  }
  if (!SnapshotFromJson(json, snapshot, error)) {
    error = file + ": " + error;
    return false;
  }
  return true;
}

std::string Quoted(const std::string& name) { return name.empty() ? "@" : "\"" + name + "\""; }

std::string LineOf(const Difference& d) {
  std::string line(1, d.change);
  line += ' ';
  if (d.kind == "value") {
    line += "[" + d.path + "] " + Quoted(d.name);
    if (d.change == '+') return line + "=" + d.after;
    if (d.change == '-') return line + "=" + d.before;
    return line + ": " + d.before + " -> " + d.after;
  }
  if (d.kind == "key") return line + "[" + d.path + "]";
  line += d.path;
  if (d.kind == "folder") line += "\\";
  if (d.change == '~') return line + "  (" + d.before + " -> " + d.after + ")";
  const std::string& about = d.change == '+' ? d.after : d.before;
  return about.empty() ? line : line + "  (" + about + ")";
}

}  // namespace

int RunSnapshot(int argc, char** argv) {
  std::string root;
  std::string output;
  CommandLine line("kova snapshot", kSnapshotUsage);
  line.Value("--root", root, "a folder");
  line.Value("-o,--output", output, "a file");
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  if (!line.Surplus().empty()) return line.UsageError("unexpected argument '" + line.Surplus()[0] + "'");
  if (root.empty()) return line.UsageError("--root is required");
  if (output.empty()) return line.UsageError("-o is required");
  Snapshot snapshot;
  std::string error;
  if (!TakeSnapshot(root, snapshot, error) ||
      !WriteText(output, SnapshotToJson(snapshot).dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n",
                 error)) {
    std::fprintf(stderr, "kova snapshot: %s\n", error.c_str());
    return 1;
  }
  if (output != "-")
    std::fprintf(stderr, "kova snapshot: %zu files and folders, %zu registry keys (%s) in %s\n",
                 snapshot.files.size(), snapshot.registry.size(), snapshot.source.c_str(), output.c_str());
  return 0;
}

int RunDiff(int argc, char** argv) {
  bool json = false;
  CommandLine line("kova diff", kDiffUsage);
  line.App().add_flag("--json", json);
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  const std::vector<std::string>& files = line.Surplus();
  if (files.size() != 2) return line.UsageError("two snapshots are needed (BEFORE.json AFTER.json)");
  Snapshot before, after;
  std::string error;
  if (!ReadSnapshot(files[0], before, error) || !ReadSnapshot(files[1], after, error)) {
    std::fprintf(stderr, "kova diff: %s\n", error.c_str());
    return kUsageError;
  }
  std::vector<Difference> differences = CompareSnapshots(before, after);
  if (json) {
    nlohmann::ordered_json out;
    out["added"] = nlohmann::ordered_json::array();
    out["changed"] = nlohmann::ordered_json::array();
    out["removed"] = nlohmann::ordered_json::array();
    for (const Difference& d : differences) {
      nlohmann::ordered_json entry;
      entry["kind"] = d.kind;
      entry[d.kind == "value" ? "key" : "path"] = d.path;
      if (d.kind == "value") entry["name"] = d.name;
      if (d.change != '+' && !d.before.empty()) entry["before"] = d.before;
      if (d.change != '-' && !d.after.empty()) entry["after"] = d.after;
      out[d.change == '+' ? "added" : d.change == '~' ? "changed" : "removed"].push_back(entry);
    }
    std::printf("%s\n", out.dump(1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  } else {
    int counts[3] = {};
    for (const Difference& d : differences) {
      std::printf("%s\n", LineOf(d).c_str());
      ++counts[d.change == '+' ? 0 : d.change == '~' ? 1 : 2];
    }
    std::fprintf(stderr, "kova diff: %d added, %d changed, %d removed\n", counts[0], counts[1], counts[2]);
  }
  return differences.empty() ? 0 : 1;
}

}  // namespace kova::cli
