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
// place, the first file last. On any failure none of them is left behind,
// neither finished nor temporary, and error says what failed; a path that is
// a directory is refused before anything is written. Files of an earlier
// build at the same paths stay as they were, unless a rename fails halfway
// through the set: then the ones it had already replaced are gone too.
bool WriteFilesAtomically(const std::vector<OutputFile>& files, std::string& error);

}  // namespace kova::builder
