// The folder browser through shell32, which the stub does not import (it
// must not be loaded from the installer's folder): the library is loaded by
// its full system path and its four functions looked up. The item lists are
// freed through the shell's own allocator (SHGetMalloc), so ole32 is never
// needed here.
#include "ui/win32/folder_browser.h"

#include <shlobj.h>

#include "payload/messages.h"
#include "platform/win32/system_library.h"
#include "ui/win32/center_window.h"

namespace kova::ui {
namespace {

using BrowseFunction = LPITEMIDLIST(WINAPI*)(BROWSEINFOA*);
using PathFunction = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
using FolderFunction = HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*);
using MallocFunction = HRESULT(WINAPI*)(IMalloc**);

template <typename Function>
Function Lookup(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Centres the browser and preselects the starting folder once it is up.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED) {
    CenterWindow(browser);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, start);
  }
  return 0;
}

}  // namespace

bool BrowseForFolder(HWND owner, core::String& path) {
  HMODULE shell = platform::win32::LoadSystemLibrary("shell32.dll");
  if (!shell) return false;
  auto browse = Lookup<BrowseFunction>(shell, "SHBrowseForFolderA");
  auto pathOf = Lookup<PathFunction>(shell, "SHGetPathFromIDListA");
  auto folder = Lookup<FolderFunction>(shell, "SHGetSpecialFolderLocation");
  auto shellMalloc = Lookup<MallocFunction>(shell, "SHGetMalloc");
  LPITEMIDLIST root = nullptr;
  if (!browse || !pathOf || !folder || !shellMalloc || FAILED(folder(owner, CSIDL_DRIVES, &root)) || !root)
    return false;
  core::String title = payload::GetMessage(payload::kMsgChooseDirectory);
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.lpszTitle = title.CStr();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(path.CStr());
  LPITEMIDLIST chosen = browse(&info);
  char buffer[MAX_PATH + 1] = {};
  bool found = chosen && pathOf(chosen, buffer) && buffer[0];
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(shellMalloc(&allocator)) && allocator) {
    if (chosen) allocator->Free(chosen);
    allocator->Free(root);
    allocator->Release();
  }
  if (found) path = buffer;
  return found;
}

}  // namespace kova::ui
