// System DLLs loaded by full path; see system_library.h.
#include "platform/win32/system_library.h"

#include <cstring>

namespace kova::platform::win32 {

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH + 1];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  std::size_t nameLength = std::strlen(name);
  if (length == 0 || length + 1 + nameLength >= sizeof path) return nullptr;
  if (path[length - 1] != '\\') path[length++] = '\\';
  std::memcpy(path + length, name, nameLength + 1);
  return LoadLibraryA(path);
}

namespace {

// What RestrictLibrarySearch needs, one name after another in one constant:
// kernel32, its two calls, then the libraries loaded ahead by full path. The
// code steps from one name to the next at run time, so all of them cost the
// stub one relocation entry; its relocation table has no room to spare.
const char kSearchNames[] =
    "kernel32.dll\0"
    "SetDefaultDllDirectories\0"
    "SetDllDirectoryA\0"
    // Libraries that system code loads by bare name. Once one is loaded,
    // a load by its bare name takes the module already loaded instead of
    // searching, which protects where the search cannot be restricted:
    // systems without SetDefaultDllDirectories, and Wine, whose loader
    // resolves a system DLL's delay-loaded imports (comctl32's uxtheme)
    // without regard to it.
    "uxtheme.dll\0"
    "dwmapi.dll\0"
    "propsys.dll\0"
    "userenv.dll\0"
    "cryptbase.dll\0"
    // Wine's uxtheme delay-loads msimg32 (TransparentBlt) to draw themed
    // controls, which the dialogs have before the setup window needs it.
    "msimg32.dll\0"
    // shell32 (the folder browser) imports comctl32, and Wine binds a
    // system DLL's imports through the program's folder first.
    "comctl32.dll\0";

const char* NextName(const char* name) {
  while (*name) ++name;
  return name + 1;
}

}  // namespace

void RestrictLibrarySearch() {
  constexpr DWORD kSearchSystem32 = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  using SetDefaultFunction = BOOL(WINAPI*)(DWORD);
  using SetDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
  // Read back through a volatile, so that the compiler cannot turn the steps
  // into constant addresses of their own.
  const char* volatile start = kSearchNames;
  const char* name = start;
  HMODULE kernel = LoadSystemLibrary(name);
  name = NextName(name);
  if (kernel) {
    if (auto setDefault =
            reinterpret_cast<SetDefaultFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, name))))
      setDefault(kSearchSystem32);
    // The empty text lives on the stack, for the same reason as the names.
    const char empty[1] = {};
    if (auto setDirectory = reinterpret_cast<SetDirectoryFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel, NextName(name)))))
      setDirectory(empty);
  }
  // The list ends at the empty name the literal's own terminator makes.
  for (name = NextName(NextName(name)); *name; name = NextName(name)) LoadSystemLibrary(name);
}

FARPROC SystemProcedure(const char* library, const char* procedure) {
  HMODULE module = LoadSystemLibrary(library);
  return module ? GetProcAddress(module, procedure) : nullptr;
}

}  // namespace kova::platform::win32
