// Fuzz target: opening an installer file whole: the PE walk, the archive
// header, the script block (descrambled, decompressed, checked), the script
// items and the uninstaller image.
#include <cstddef>
#include <cstdint>

#include "payload/archive_open.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::payload::MemorySource file(data, static_cast<kova::i64>(size));
  kova::payload::OpenedArchive archive;
  kova::payload::InstallScript script;
  kova::core::ByteBuffer image;
  kova::payload::OpenAndReadArchive(file, archive, script, image);
  return 0;
}
