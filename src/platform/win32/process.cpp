// Process services on Win32; see platform/process.h.
#include "platform/process.h"

#include "platform/win32/windows.h"

namespace kova::platform {

core::String ModuleFileName() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A truncated name is not NUL-terminated on XP; the buffer has one spare byte.
  if (n > MAX_PATH) n = MAX_PATH;
  return core::String(path, static_cast<i32>(n));
}

const u8* ProgramImageBytes(u32 rva, u32 size) {
  // The loader has checked the headers of the image it runs.
  const auto* base = reinterpret_cast<const u8*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    u32 start = section->VirtualAddress;
    u32 filled = section->Misc.VirtualSize < section->SizeOfRawData ? section->Misc.VirtualSize : section->SizeOfRawData;
    if (rva >= start && rva - start <= filled && size <= filled - (rva - start) &&
        (section->Characteristics & IMAGE_SCN_MEM_READ))
      return base + rva;
  }
  return nullptr;
}

core::String FullCommandLine() { return core::String(GetCommandLineA()); }

core::String WindowsDirectory() {
  char path[MAX_PATH + 1] = {};
  UINT n = GetWindowsDirectoryA(path, MAX_PATH);
  if (n > MAX_PATH) n = 0;  // buffer too small: the call wrote nothing usable
  return core::String(path, static_cast<i32>(n));
}

core::String SystemDirectory() {
  char path[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n > MAX_PATH) n = 0;
  return core::String(path, static_cast<i32>(n));
}

u32 TickCount() { return GetTickCount(); }

void SleepMilliseconds(u32 milliseconds) { Sleep(milliseconds); }

core::DateTime LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return core::MakeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

void ExitProcess(int code) { ::ExitProcess(static_cast<UINT>(code)); }

}  // namespace kova::platform
