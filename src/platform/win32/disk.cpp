// Drives and disk space on Win32. GetDiskFreeSpaceExA came with Windows 95
// OSR2; importing it would keep the stub from loading on the first Windows
// 95, so it is looked up at run time.
#include "platform/disk.h"

#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"

namespace kova::platform {
namespace {

using DiskFreeSpaceExFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

DiskFreeSpaceExFunction LookUpDiskFreeSpaceEx() {
  static bool looked = false;
  static DiskFreeSpaceExFunction function = nullptr;
  if (!looked) {
    looked = true;
    function = reinterpret_cast<DiskFreeSpaceExFunction>(
        reinterpret_cast<void*>(win32::SystemProcedure("kernel32.dll", "GetDiskFreeSpaceExA")));
  }
  return function;
}

}  // namespace

u32 DriveTypeOf(const char* root) { return GetDriveTypeA(root); }

bool DiskFreeClusters(const char* root, DiskClusters* clusters) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return false;
  clusters->sectorsPerCluster = sectorsPerCluster;
  clusters->bytesPerSector = bytesPerSector;
  clusters->freeClusters = freeClusters;
  clusters->totalClusters = totalClusters;
  return true;
}

bool DiskFreeBytes(const char* root, u64* freeToCaller, u64* total) {
  DiskFreeSpaceExFunction function = LookUpDiskFreeSpaceEx();
  if (!function) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  ULARGE_INTEGER available, all, free;
  if (!function(root, &available, &all, &free)) return false;
  *freeToCaller = available.QuadPart;
  *total = all.QuadPart;
  return true;
}

}  // namespace kova::platform
