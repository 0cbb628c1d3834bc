// Reading a built installer the way the stub does, for `kova inspect` and
// `kova extract`: the archive opening, the script checksum, the script items
// and the uninstaller image come from the engine's own code (payload/), so a
// verdict here is the stub's verdict; the file data stream (with its volume
// files) and the file records are read with the same checks the installer
// makes. Every check runs in the stub's order and the first failure is kept
// as the code the stub would show.
#pragma once

#include <string>
#include <vector>

#include "builder/file_records.h"
#include "format/archive_open.h"
#include "format/install_script.h"

namespace kova::builder {

struct VolumeFile {
  std::string path;
  u32 sequence = 0;
  u64 dataBytes = 0;  // stream bytes taken from it
};

struct InstallerContents {
  std::string path;
  i64 fileSize = 0;
  format::OpenedArchive archive;
  format::InstallScript script;
  core::ByteBuffer uninstallerImage;

  // What was reached: each stage needs the ones before it.
  bool headerRead = false;
  bool scriptRead = false;
  bool streamRead = false;

  u32 scriptChecksum = 0;  // of the decompressed script
  u32 stubChecksum = 0;    // of the bytes before the section
  u32 streamChecksum = 0;  // of the stream as stored
  u64 streamPresent = 0;   // stream bytes in the installer itself
  std::vector<VolumeFile> volumes;
  std::vector<u8> stream;  // decompressed
  std::vector<ReadRecord> records;

  // The stub's verdict: 0, format::kNoArchive, format::kVersionTooNew, or
  // the corrupt-archive code; detail adds what exactly is wrong.
  i32 code = 0;
  std::string detail;
  // A volume file that is missing or not the right one: the installer would
  // ask for the disk rather than fail.
  std::string volumeProblem;

  bool Ok() const { return code == 0 && volumeProblem.empty(); }
};

// Reads and checks an installer. Returns false only when the file itself
// cannot be read (error says why); damage is reported in contents.code.
bool ReadInstaller(const std::string& path, InstallerContents& contents, std::string& error);

// The verdict in one line: "ok", or what the installer would stop with, such
// as "corrupt archive: error code 25 (script checksum differs)".
std::string DescribeVerdict(const InstallerContents& contents);

// The short reason for a corrupt-archive code, as inspect prints it.
const char* CorruptCodeMeaning(i32 code);

}  // namespace kova::builder
