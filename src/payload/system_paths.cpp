// The process-wide system paths; see system_paths.h.
#include "payload/system_paths.h"

#include "core/lasting.h"
#include "core/paths.h"
#include "platform/environment.h"
#include "platform/process.h"

namespace kova::payload {

const SystemPaths& GetSystemPaths() {
  static core::Lasting<SystemPaths> lasting;
  static bool filled = false;
  SystemPaths& paths = lasting.Get();
  if (filled) return paths;
  filled = true;

  paths.windowsDir = platform::WindowsDirectory();
  paths.installerPath = platform::ModuleFileName();
  paths.installerName = core::FileNameOf(paths.installerPath.CStr());
  paths.installerDir = core::DirectoryOf(paths.installerPath.CStr());
  paths.installerDrive = core::DriveLetterOf(paths.installerPath.CStr());

  core::String comspec;
  bool expanded = platform::ExpandEnvironmentText("%comspec%", 256, comspec);
  paths.commandInterpreter = CommandInterpreterFor(expanded ? comspec.CStr() : nullptr, paths.windowsDir.CStr());
  return paths;
}

core::String CommandInterpreterFor(const char* comspec, const char* windowsDir) {
  // Without a COMSPEC variable the expansion "succeeds" and hands the text
  // back unchanged; an interpreter named "%comspec%" is no better than none.
  core::String interpreter(comspec);
  if (!comspec || core::IsBlankText(comspec) || interpreter.Find("%comspec%", 0, core::kFindNoCase) >= 0)
    interpreter = core::JoinPath(windowsDir, "command.com");
  bool hasBlank = false;
  for (i32 i = 0; i < interpreter.Length(); ++i) hasBlank = hasBlank || core::IsBlank(interpreter[i]);
  if (hasBlank) {
    interpreter.Insert(0, "\"", 1);
    interpreter += '"';
  }
  return interpreter;
}

}  // namespace kova::payload
