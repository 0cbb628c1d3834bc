// The file loop of the installation: takes the file data stream out of the
// installer (and its volumes), and for each file record picks the target
// folder by type, applies the existing-file modes and the replacement rules,
// writes the file with its stamp, replaces files in use at the next restart,
// and records what it did for the steps after it:
//   - the uninstall list (system/uninstall_list.h): installed files and
//     their folders, unless the installation removes its whole directory;
//   - the shortcut entries (shortcut_entries.h);
//   - the shared-file list, the SharedFiles text and the SharedDLLs counts
//     (shared_files.h); the ProductFonts text;
//   - the log text and the error text (install_texts.h);
//   - ProductFlags 0x4000 when a file waits for a restart.
// It moves the progress bar from 5 to 90 on the way.
#pragma once

#include "core/array.h"
#include "core/string.h"
#include "install/file_stream.h"

namespace kova::format {
struct OpenedArchive;
}

namespace kova::install {

struct InstallFilesInput {
  FileStreamInput stream;  // where the file data are and how they are stored
  const core::Array<i32>* fileSizes = nullptr;  // the archive's size table: one entry per file
  core::String installDir;       // InstallDir
  core::String sharedDir;        // SharedDir
  core::String uninstallSubdir;  // UninstallSubdir: the uninstall folder below InstallDir
  core::String systemDir;        // type 6; empty: GetSystemDirectoryA
  core::String fontDir;          // type 4; empty: the %FontDir% lookup
  u32 options = 0;               // the global option word (ProductFlags)
  bool reinstall = false;        // over an earlier registration of the product...
  core::String previousSharedFiles;  // ... whose SharedFiles text this is
};

struct InstallFilesOutput {
  core::Array<core::String> sharedFileList;  // target paths; a trailing space marks a permanent file
  core::String sharedFiles;   // SharedFiles: "path";"path " ... (only with ProductFlags 0x4)
  core::String productFonts;  // ProductFonts: "font name" "file name" for each font ...
  bool fontsChanged = false;  // a font was registered (WM_FONTCHANGE was broadcast)
  bool restartNeeded = false; // a file waits for the restart (ProductFlags 0x4000 is set)
  i32 filesWritten = 0;
};

// The stream part of the input from the opened archive: the installer's file,
// where the stream starts in it and how much of it is there, its length,
// checksum and compression, the volume names and the decompressed-size
// limit. options: ProductFlags.
FileStreamInput FileStreamInputOf(format::ByteSource& programFile, const format::OpenedArchive& archive,
                                  const char* volumeBaseName, u32 firstSequenceNumber, u32 options);

// The whole file loop. Returns 0, or the corrupt-archive code of the damage
// that stopped it (45, 50, 55, 60, 70, 71, 72, 100, 110, 5): nothing of the
// damaged record was written, files before it were.
i32 TryInstallFiles(const InstallFilesInput& input, InstallFilesOutput& output);

// TryInstallFiles for the installer: damage ends the program with
// CorruptArchive.
void InstallFiles(const InstallFilesInput& input, InstallFilesOutput& output);

}  // namespace kova::install
