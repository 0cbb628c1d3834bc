// The file data stream: the bytes of every file record, held by the
// installer's own file after the install script and, when they do not all
// fit there, by numbered volume files beside the installer ("%s%d.KVA",
// from 2 on: the installer itself is volume 1). A volume is a 32-bit
// sequence number followed by the next part of the stream. Once assembled,
// the stream's checksum is compared, and a compressed stream is
// decompressed as a whole.
//
// Memory: when the installer holds the whole stream it is read once into
// the one buffer the records are then used from; a compressed stream needs
// the compressed and the decompressed bytes for the time of decoding, and
// then only the latter.
#pragma once

#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/byte_source.h"

namespace kova::install {

struct FileStreamInput {
  format::ByteSource* programFile = nullptr;  // the installer's own file
  i64 streamStart = 0;      // offset of the stream's first byte in programFile
  i64 bytesInProgramFile = 0;  // stream bytes the installer holds (to the archive end)
  i32 length = 0;           // of the stream as stored (compressed, when it is)
  u32 checksum = 0;         // Checksum32 of the stored stream
  bool compressed = false;  // ProductFlags 0x20
  // The largest decompressed stream accepted: a damaged block cannot make
  // the installer allocate more than the records could hold.
  std::size_t maxDecompressedSize = 0;
  core::String volumeFolder;  // where the volume files are looked for (InstallerDir)
  core::String volumeBaseName;
  u32 firstSequenceNumber = 0;
};

// Assembles, checks and (when compressed) decompresses the stream into
// stream, with the progress phases 8, 62 and 29 and the volume prompts.
// Returns 0 or the corrupt code: 45 the archive end lies before the stream,
// 50 the installer's or a volume's bytes cannot be read (also: a volume is
// missing in automatic mode, where nobody could be asked), 55 the checksum
// differs, 60 the decompression fails. Cancelling at the volume prompt ends
// the program (ExitInstaller).
i32 LoadFileStream(const FileStreamInput& input, core::ByteBuffer& stream);

// The path of volume number beside the installer.
core::String VolumePath(const char* folder, const char* baseName, i32 number);

// The question boxes of the volume prompt (MessageBoxA arguments but the
// owner; the answer is the button's id). Null: the message box owned by
// DialogOwner. Tests answer through their own.
using VolumePromptFunction = int (*)(const char* text, const char* caption, u32 style);
void SetVolumePrompt(VolumePromptFunction prompt);

}  // namespace kova::install
