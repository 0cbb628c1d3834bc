// Shell links through the shell's link object. ole32 is loaded by its full
// path at run time (the stub imports nothing beyond the five system DLLs);
// the link object's own server is found through the registry, by full path.
#include "platform/shell_link.h"

#include <objidl.h>
#include <shobjidl.h>

#include "platform/win32/system_library.h"

namespace kova::platform {
namespace {

// CLSID_ShellLink, IID_IShellLinkA, IID_IPersistFile: defined here rather
// than taken from libuuid.
constexpr GUID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

using CoInitializeFunction = HRESULT(WINAPI*)(void*);
using CoUninitializeFunction = void(WINAPI*)();
using CoCreateInstanceFunction = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);

void* Ole32(const char* name) { return reinterpret_cast<void*>(win32::SystemProcedure("ole32.dll", name)); }

}  // namespace

bool SaveShellLink(const char* linkPath, const char* target, const char* arguments, const char* workingDirectory,
                   const char* iconFile) {
  auto initialize = reinterpret_cast<CoInitializeFunction>(Ole32("CoInitialize"));
  auto uninitialize = reinterpret_cast<CoUninitializeFunction>(Ole32("CoUninitialize"));
  auto create = reinterpret_cast<CoCreateInstanceFunction>(Ole32("CoCreateInstance"));
  if (!initialize || !uninitialize || !create || FAILED(initialize(nullptr))) return false;
  bool saved = false;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(create(kShellLink, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA, reinterpret_cast<void**>(&link)))) {
    link->SetPath(target);
    link->SetIconLocation(iconFile && *iconFile ? iconFile : target, 0);
    if (arguments && *arguments) link->SetArguments(arguments);
    if (workingDirectory && *workingDirectory) link->SetWorkingDirectory(workingDirectory);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(kPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH] = {};
      if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH) > 0) saved = file->Save(wide, TRUE) == S_OK;
      file->Release();
    }
    link->Release();
  }
  uninitialize();
  return saved;
}

}  // namespace kova::platform
