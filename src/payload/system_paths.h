// The system paths: computed once per process, on the first request, and
// never again.
#pragma once

#include "core/string.h"

namespace kova::payload {

struct SystemPaths {
  core::String windowsDir;
  core::String installerPath;       // the program's own full file name
  core::String installerName;       // FileNameOf(installerPath)
  core::String installerDir;        // DirectoryOf(installerPath)
  char installerDrive = '\0';       // DriveLetterOf(installerPath)
  core::String commandInterpreter;  // %comspec%, quoted when it holds blanks
};

const SystemPaths& GetSystemPaths();

// The command interpreter from the expansion of "%comspec%" (null when the
// expansion failed): a failed, blank or unexpanded result gives
// windowsDir\command.com, and a path holding a blank is put in double quotes.
core::String CommandInterpreterFor(const char* comspec, const char* windowsDir);

}  // namespace kova::payload
