// Version resources on Win32 through version.dll. The DLL is not imported:
// it is loaded on first use by its full path in the system directory (a
// version.dll beside the installer, in a downloads folder, must never be the
// one that runs), and the three functions are looked up there.
#include "platform/file_version.h"

#include <cstring>

#include "core/memory.h"
#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"

namespace kova::platform {
namespace {

using SizeFunction = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using InfoFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

struct VersionLibrary {
  SizeFunction size = nullptr;
  InfoFunction info = nullptr;
  QueryFunction query = nullptr;
};

template <typename Function>
Function Procedure(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(win32::SystemProcedure("version.dll", name)));
}

const VersionLibrary& Library() {
  static bool looked = false;
  static VersionLibrary library;
  if (!looked) {
    looked = true;
    library.size = Procedure<SizeFunction>("GetFileVersionInfoSizeA");
    library.info = Procedure<InfoFunction>("GetFileVersionInfoA");
    library.query = Procedure<QueryFunction>("VerQueryValueA");
  }
  return library;
}

}  // namespace

core::String FileVersionValue(const char* path, const char* subBlock) {
  const VersionLibrary& library = Library();
  if (!path || !subBlock || !library.size || !library.info || !library.query) return core::String();
  DWORD ignored = 0;
  DWORD size = library.size(path, &ignored);
  if (size == 0) return core::String();
  void* block = core::Allocate(size);
  core::String value;
  void* text = nullptr;
  UINT length = 0;
  if (library.info(path, 0, size, block) && library.query(block, subBlock, &text, &length) && text && length > 0) {
    // The length counts characters, sometimes with the NUL and sometimes
    // without: the text ends at whichever comes first, and never past the
    // block.
    const char* chars = static_cast<const char*>(text);
    const char* start = static_cast<const char*>(block);
    if (chars >= start && chars < start + size) {
      std::size_t limit = static_cast<std::size_t>(start + size - chars);
      if (length < limit) limit = length;
      std::size_t n = 0;
      while (n < limit && chars[n]) ++n;
      value.Assign(chars, static_cast<i32>(n));
    }
  }
  core::Release(block);
  return value;
}

}  // namespace kova::platform
