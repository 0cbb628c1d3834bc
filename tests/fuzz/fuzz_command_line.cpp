// Fuzz target: the installer's command line, as Windows hands it over (any
// bytes up to the first NUL), and the program path taken from its first
// token.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/string.h"
#include "payload/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // the command line ends at its first NUL
  payload::CommandLine result;
  core::String fault;
  payload::ParseCommandLine(text.c_str(), result, fault);
  payload::InstallerPathOf(text.c_str());
  return 0;
}
