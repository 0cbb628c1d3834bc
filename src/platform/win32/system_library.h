// System DLLs and the functions looked up in them at run time. A DLL is only
// ever loaded by its full path in the system directory: LoadLibraryA with a
// bare name searches the program's own folder first, where a planted DLL of
// the same name (a downloads folder is full of them) would be loaded instead.
#pragma once

#include "platform/win32/windows.h"

namespace kova::platform::win32 {

// LoadLibraryA of GetSystemDirectoryA + "\" + name; null on failure.
HMODULE LoadSystemLibrary(const char* name);
// GetProcAddress in a system DLL loaded as above (the DLL stays loaded for the
// life of the process); null when either is missing.
FARPROC SystemProcedure(const char* library, const char* procedure);

}  // namespace kova::platform::win32
