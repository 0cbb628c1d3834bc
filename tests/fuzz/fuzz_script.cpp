// Fuzz target: the install script reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "payload/install_script.h"
#include "payload/script_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  kova::payload::InstallScript script;
  kova::payload::ReadInstallScript(data, static_cast<kova::i32>(size), script);
  return 0;
}
