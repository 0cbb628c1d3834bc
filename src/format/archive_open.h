// Opening the installation archive of an installer file: the PE walk to the
// `.kova` section, the header, the script block (copied, descrambled,
// decompressed and checked), and later the uninstaller image. Each step
// returns 0 or the code of the damage it found, so that the stub turns codes
// into its fatal boxes and the host tools into messages.
#pragma once

#include "core/byte_buffer.h"
#include "format/archive.h"
#include "format/byte_source.h"
#include "format/install_script.h"

namespace kova::format {

struct OpenedArchive {
  PeLayout layout;
  ArchiveHeader header;
  i64 sectionStart = 0;      // file offset of the section (PointerToRawData)
  core::ByteBuffer script;   // the decompressed install script
};

// Steps up to the decompressed script. Returns 0, kNoArchive, kVersionTooNew
// or a corrupt code (43, 44, 9, 10, 20, 22, 27, 28, 29, 45, 47).
i32 OpenArchive(ByteSource& file, OpenedArchive& archive);

// The script's checksum against the script key: 0 or 25.
i32 VerifyScript(const OpenedArchive& archive);

// The uninstaller image: the file without the archive section, with the icon
// patch of the script applied. Returns 0 or 35, 40, 42.
i32 BuildUninstaller(ByteSource& file, const OpenedArchive& archive, const InstallScript& script,
                     core::ByteBuffer& image);

// The whole sequence for tools: open, verify, read every item, build the
// image. Returns the first code met.
i32 OpenAndReadArchive(ByteSource& file, OpenedArchive& archive, InstallScript& script, core::ByteBuffer& image);

}  // namespace kova::format
