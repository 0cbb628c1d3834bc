// The process-wide system paths; see system_paths.h.
#include "install/system_paths.h"

#include "install/paths.h"
#include "platform/environment.h"
#include "platform/process.h"

namespace kova::install {

const SystemPaths& GetSystemPaths() {
  static SystemPaths paths;
  static bool filled = false;
  if (filled) return paths;
  filled = true;

  paths.windowsDir = platform::WindowsDirectory();
  paths.installerPath = platform::ModuleFileName();
  paths.installerName = FileNameOf(paths.installerPath.CStr());
  paths.installerDir = DirectoryOf(paths.installerPath.CStr());
  paths.installerDrive = DriveLetterOf(paths.installerPath.CStr());

  core::String interpreter;
  if (!platform::ExpandEnvironmentText("%comspec%", 256, interpreter) || core::IsBlankText(interpreter.CStr()))
    interpreter = JoinPath(paths.windowsDir.CStr(), "command.com");
  bool hasBlank = false;
  for (i32 i = 0; i < interpreter.Length(); ++i) hasBlank = hasBlank || core::IsBlank(interpreter[i]);
  if (hasBlank) {
    interpreter.Insert(0, "\"", 1);
    interpreter += '"';
  }
  paths.commandInterpreter = interpreter;
  return paths;
}

}  // namespace kova::install
