// Snapshots of an installation target and their differences: what kova
// snapshot records and kova diff compares. A snapshot holds every file and
// folder below the drives (size, stamp, SHA-256; links with their target) and
// every key and value of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER. It is
// taken the same way from a sandbox root (drive_* folders, registry.db) and
// from a Wine prefix (drive_c, system.reg and user.reg), and values are
// written as REGEDIT4 writes them, as the ANSI registry functions return
// them, so snapshots of the two kinds compare.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/types.h"

namespace kova::cli {

struct FileState {
  std::string kind;  // "file", "folder" or "link"
  u64 size = 0;
  std::string stamp;   // the modification time, UTC, to 100 ns
  std::string sha256;  // files only
  std::string target;  // links only
  bool operator==(const FileState&) const = default;
};

// Value name (empty for the default value) -> data in REGEDIT4 form
// ("text", dword:00000001, hex(2):41,00), on one line.
using RegistryValues = std::map<std::string, std::string>;

struct Snapshot {
  std::string source;  // "sandbox" or "wine"
  std::map<std::string, FileState> files;           // Windows path -> state
  std::map<std::string, RegistryValues> registry;   // "HKEY_...\path" -> values
};

// The data of one value in REGEDIT4 form on one line.
std::string RegistryValueText(u32 type, const std::string& data);

// Reads a registry file of Wine (system.reg, user.reg) into the keys below
// rootName ("HKEY_LOCAL_MACHINE"). False with error for text that is not one.
bool ReadWineRegistry(const std::string& text, const std::string& rootName,
                      std::map<std::string, RegistryValues>& keys, std::string& error);

// Takes a snapshot of a sandbox root or a Wine prefix (told apart by
// system.reg). False with error when root is neither or cannot be read.
bool TakeSnapshot(const std::string& root, Snapshot& snapshot, std::string& error);

nlohmann::ordered_json SnapshotToJson(const Snapshot& snapshot);
bool SnapshotFromJson(const nlohmann::json& json, Snapshot& snapshot, std::string& error);

struct Difference {
  char change;        // '+' added, '~' changed, '-' removed
  std::string kind;   // "file", "folder", "link", "key" or "value"
  std::string path;   // the Windows path, or the key
  std::string name;   // the value's name
  std::string before; // what it was (changed, removed)
  std::string after;  // what it is (added, changed)
};

// What changed from before to after: files, then keys and values, each in
// the order of their paths.
std::vector<Difference> CompareSnapshots(const Snapshot& before, const Snapshot& after);

}  // namespace kova::cli
