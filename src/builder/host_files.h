// File access for the host tools: whole-file reads, file times as FileStamps
// (local time, as installers carry them), and writing a set of output files
// so that either all of them appear complete or none does (each is written
// to a temporary file beside its target and renamed into place at the end).
#pragma once

#include <string>
#include <vector>

#include "core/types.h"
#include "format/file_stamp.h"

namespace kova::builder {

// Reads a whole file. error names the path and the system's reason.
bool ReadWholeFile(const std::string& path, std::vector<u8>& bytes, std::string& error);

// The last-write time of a file in local time, seconds precision.
bool FileStampOf(const std::string& path, format::FileStamp& stamp, std::string& error);

// Sets a file's last-write (and access) time to a stamp read as local time.
bool SetFileStamp(const std::string& path, const format::FileStamp& stamp, std::string& error);

struct OutputFile {
  std::string path;
  std::vector<u8> bytes;
  format::FileStamp stamp;  // applied when set
};

// Writes every file to a temporary name beside it, then renames them all into
// place. On any failure the temporary files are removed, nothing else is
// touched, and error says what failed. (A rename that fails halfway through
// the set can leave the earlier ones in place; each file on its own is always
// whole.)
bool WriteFilesAtomically(const std::vector<OutputFile>& files, std::string& error);

}  // namespace kova::builder
