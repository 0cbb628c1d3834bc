// The file data stream as the installer loads it: format::AssembleFileStream
// and the checks of format/file_stream.h, with the volume files looked for
// beside the installer, the disk prompts when one is missing or wrong, and
// the progress phases of loading.
#pragma once

#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/byte_source.h"
#include "format/file_stream.h"

namespace kova::install {

struct FileStreamInput : format::FileStreamLayout {
  format::ByteSource* programFile = nullptr;  // the installer's own file
  core::String volumeFolder;                  // where the volume files are looked for (InstallerDir)
  core::String volumeBaseName;
};

// Assembles, checks and (when compressed) decompresses the stream into
// stream, with the progress phases 8, 62 and 29 and the volume prompts.
// Returns 0 or the corrupt code of format/file_stream.h; a volume missing in
// automatic mode, where nobody could be asked, ends with 50. Cancelling at
// the volume prompt ends the program (ExitInstaller).
i32 LoadFileStream(const FileStreamInput& input, format::FileStreamBytes& stream);

// The path of volume number beside the installer.
core::String VolumePath(const char* folder, const char* baseName, i32 number);

}  // namespace kova::install
