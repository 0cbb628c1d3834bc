// Fuzz target: opening an installer file whole: the PE walk, the archive
// header, the script block (descrambled, decompressed, checked), the script
// items and the uninstaller image.
#include <cstddef>
#include <cstdint>

#include "format/archive_open.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::format::MemorySource file(data, static_cast<kova::i64>(size));
  kova::format::OpenedArchive archive;
  kova::format::InstallScript script;
  kova::core::ByteBuffer image;
  kova::format::OpenAndReadArchive(file, archive, script, image);
  return 0;
}
