// System DLLs and the functions looked up in them at run time. A DLL is only
// ever loaded by its full path in the system directory: LoadLibraryA with a
// bare name searches the program's own folder first, where a planted DLL of
// the same name (a downloads folder is full of them) would be loaded instead.
// That is not enough on its own: system DLLs and the dialog code load their
// own helpers by bare name, so the stub also restricts the search for the
// whole process before anything else runs (RestrictLibrarySearch).
#pragma once

#include "platform/win32/windows.h"

namespace kova::platform::win32 {

// Called first thing at start-up: bare-name loads, whoever makes them, search
// the system directory only (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32) and never the current directory
// (SetDllDirectoryA("")). Both are looked up in kernel32 at run time, where
// systems without them simply go without:
// - Windows 8 and later, and Vista, 7 and Server 2008 (R2) with the update
//   that adds SetDefaultDllDirectories (KB2533623): neither the program's
//   folder nor the current directory is searched.
// - Vista and 7 without that update, and XP SP1 and later: SetDllDirectoryA
//   alone takes the current directory out of the search, but the program's
//   own folder is still searched first.
// - Windows 95, 98, ME, NT 4, 2000 and XP before SP1: neither call exists and
//   the search starts in the program's folder, then the current directory.
// What protects those older systems is what protects all of them: the stub
// imports only kernel32, user32, gdi32, advapi32 and msvcrt, which Windows
// takes from the system directory (KnownDLLs on NT; on 9x modules already
// loaded are matched by name), and loads every other library of its own by
// full path. Then a few libraries that system code is known to load by bare
// name (uxtheme, dwmapi, propsys, userenv, cryptbase; comctl32, which
// shell32 imports) are loaded here by full path where they exist, so that a later load by that name takes the
// loaded module; this also covers Wine, whose loader resolves comctl32's
// delay-loaded uxtheme without regard to the default directories. Any other
// library a system DLL loads by bare name on its own account can still be
// planted on the older systems.
void RestrictLibrarySearch();

// LoadLibraryA of GetSystemDirectoryA + "\" + name; null on failure.
HMODULE LoadSystemLibrary(const char* name);
// GetProcAddress in a system DLL loaded as above (the DLL stays loaded for the
// life of the process); null when either is missing.
FARPROC SystemProcedure(const char* library, const char* procedure);

}  // namespace kova::platform::win32
