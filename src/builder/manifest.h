// The manifest: a TOML file that describes one installer. ReadManifest checks
// it completely (unknown keys and flag names, texts that the ANSI code page
// cannot hold, missing or oversized source files, limits of the format) and
// reports the first problem as "FILE:LINE:COLUMN: message". What it returns
// is the install script in the builder's form plus the list of files; the
// few items that depend on the stub or the output name (icon patch offset,
// default uninstaller stamp, default volume base name) are resolved by the
// installer writer. docs/manifest.md describes the format.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/encoder.h"
#include "builder/file_records.h"
#include "builder/script_items.h"

namespace kova::builder {

struct ManifestFile {
  std::string source;  // host path of the file's contents
  FileRecord record;   // everything but the data
  u64 size = 0;        // of the source when the manifest was read
  std::string where;   // "FILE:LINE" of its [[file]] table, for later errors
};

struct Manifest {
  std::string path;
  ScriptItems script;
  std::vector<ManifestFile> files;
  bool uninstallerStampGiven = false;
  bool volumeBaseGiven = false;
  bool firstSequenceGiven = false;
  u64 volumeSize = 0;          // 0: no volumes
  std::string uninstallerIcon;  // host path of a .ico file, or empty
  std::optional<CompressionLevel> level;
};

bool ReadManifest(const std::string& path, Manifest& manifest, std::string& error);

// The same from text already in memory; path names the manifest in messages
// and is the base of relative source paths.
bool ParseManifest(std::string_view text, const std::string& path, Manifest& manifest, std::string& error);

// Limits of the format that the manifest reader enforces.
inline constexpr std::size_t kMaxLanguages = 255;
inline constexpr int kMaxMessageNumber = 9999;
inline constexpr std::size_t kMaxPagesPerList = 20;
inline constexpr u64 kMaxFileBytes = 0x40000000;

}  // namespace kova::builder
