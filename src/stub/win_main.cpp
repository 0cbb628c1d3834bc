// The Windows entry point of kovastub.exe. The stub starts itself rather than
// through the MinGW C runtime's start-up code: it needs none of what that
// sets up (argv, TLS callbacks, pseudo-relocations, an exception filter), and
// leaving it out keeps about 8 KiB out of every installer. msvcrt.dll
// initialises itself when it is loaded.
#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"
#include "setup/entry.h"

extern "C" void __main();  // libgcc/MinGW: runs the global constructors once

namespace {

// What WinMain would get as its command line: the arguments after the
// program name, with the blanks before them skipped.
const char* ArgumentsOf(const char* line) {
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

}  // namespace

extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup();

extern "C" void WinMainCRTStartup() {
  // Before anything can load a library by bare name: the installer's own
  // folder is a downloads folder, where anyone can leave a DLL.
  kova::platform::win32::RestrictLibrarySearch();
  __main();
  kova::setup::RunStub(GetModuleHandleA(nullptr), ArgumentsOf(GetCommandLineA()));
}
