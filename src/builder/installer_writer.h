// Putting an installer together: the file data stream of file records
// (compressed as a whole when the manifest asks for it), the install script
// (compressed, then scrambled with its own checksum as the key), the archive
// header with every checksum, all appended as the last PE section `.kova` of
// a copy of the stub, and the volume files when the stream is split. Nothing
// here reads the clock: the same manifest, sources and stub give the same
// bytes.
#pragma once

#include <string>
#include <vector>

#include "builder/encoder.h"
#include "builder/host_files.h"
#include "builder/manifest.h"

namespace kova::builder {

struct BuildOptions {
  std::vector<u8> stub;
  format::FileStamp stubStamp;  // the uninstaller's stamp unless the manifest gives one
  std::string outputPath;        // the installer; volumes go beside it
  CompressionLevel level = CompressionLevel::kBest;
};

struct BuildReport {
  std::size_t fileCount = 0;
  u64 sourceBytes = 0;       // the files' data
  u64 streamBytes = 0;       // file records, uncompressed
  u64 streamStored = 0;      // as stored (compressed or not)
  u64 scriptBytes = 0;       // install script, uncompressed
  u64 scriptStored = 0;      // compressed
  u64 installerBytes = 0;
  std::size_t volumeCount = 0;  // volume files besides the installer
  i32 iconPatchOffset = 0;
};

// The installer's name followed by its volumes.
bool BuildInstaller(const Manifest& manifest, const BuildOptions& options, std::vector<OutputFile>& outputs,
                    BuildReport& report, std::string& error);

// The name of volume n (2, 3, ...) beside the installer.
std::string VolumePath(const std::string& installerPath, const std::string& baseName, int number);

}  // namespace kova::builder
