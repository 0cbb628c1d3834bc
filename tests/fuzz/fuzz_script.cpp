// Fuzz target: the install script reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "format/install_script.h"
#include "format/script_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  kova::format::InstallScript script;
  kova::format::ReadInstallScript(data, static_cast<kova::i32>(size), script);
  return 0;
}
