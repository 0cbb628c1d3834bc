// The raw registry on Windows: the advapi32 ANSI calls themselves; see
// platform/registry.h. The only work here is converting between the
// portable types and HKEY/DWORD.
#include "platform/registry.h"

#include "core/memory.h"
#include "platform/win32/windows.h"

namespace kova::platform {
namespace {

HKEY Native(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

// RegEnumValueA needs buffers for both name and data; the key's own maxima
// size them, and a value that grows between the two calls is retried a few
// times rather than looped on forever.
constexpr int kEnumAttempts = 4;

}  // namespace

SystemError OpenRegistryKey(RegistryKey root, const char* subKey, RegistryKey* result) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(Native(root), subKey, 0, KEY_ALL_ACCESS, &key);
  *result = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(key) : 0;
  return static_cast<SystemError>(status);
}

SystemError CreateRegistryKey(RegistryKey root, const char* subKey, RegistryKey* result) {
  HKEY key = nullptr;
  char noClass[] = "";
  LONG status = RegCreateKeyExA(Native(root), subKey ? subKey : "", 0, noClass, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  *result = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(key) : 0;
  return static_cast<SystemError>(status);
}

SystemError CloseRegistryKey(RegistryKey key) { return static_cast<SystemError>(RegCloseKey(Native(key))); }

SystemError QueryRegistryValue(RegistryKey key, const char* name, u32* type, u8* data, u32* size) {
  DWORD nativeType = 0;
  DWORD nativeSize = size ? *size : 0;
  LONG status = RegQueryValueExA(Native(key), name, nullptr, &nativeType, data, size ? &nativeSize : nullptr);
  if (type) *type = nativeType;
  if (size) *size = nativeSize;
  return static_cast<SystemError>(status);
}

SystemError SetRegistryValue(RegistryKey key, const char* name, u32 type, const u8* data, u32 size) {
  return static_cast<SystemError>(RegSetValueExA(Native(key), name, 0, type, data, size));
}

SystemError DeleteRegistryValue(RegistryKey key, const char* name) {
  return static_cast<SystemError>(RegDeleteValueA(Native(key), name));
}

SystemError DeleteRegistryKey(RegistryKey key, const char* subKey) {
  return static_cast<SystemError>(RegDeleteKeyA(Native(key), subKey));
}

SystemError EnumRegistryKey(RegistryKey key, u32 index, char* name, u32 nameSize) {
  return static_cast<SystemError>(RegEnumKeyA(Native(key), index, name, nameSize));
}

SystemError EnumRegistryValue(RegistryKey key, u32 index, core::String& name, u32& type, core::String& data) {
  name.Clear();
  data.Clear();
  type = 0;
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < kEnumAttempts && status == ERROR_MORE_DATA; ++attempt) {
    DWORD maxName = 0;
    DWORD maxData = 0;
    status = RegQueryInfoKeyA(Native(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &maxName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<SystemError>(status);
    DWORD nameSize = maxName + 1;
    DWORD dataSize = maxData + 1;
    char* nameBuffer = static_cast<char*>(core::Allocate(nameSize));
    u8* dataBuffer = static_cast<u8*>(core::Allocate(dataSize));
    DWORD nativeType = 0;
    status = RegEnumValueA(Native(key), index, nameBuffer, &nameSize, nullptr, &nativeType, dataBuffer, &dataSize);
    if (status == ERROR_SUCCESS) {
      name.Assign(nameBuffer, static_cast<i32>(nameSize));
      data.Assign(reinterpret_cast<const char*>(dataBuffer), static_cast<i32>(dataSize));
      type = nativeType;
    }
    core::Release(nameBuffer);
    core::Release(dataBuffer);
  }
  return static_cast<SystemError>(status);
}

SystemError QueryRegistryKeyCounts(RegistryKey key, u32* subKeys, u32* values) {
  DWORD nativeSubKeys = 0;
  DWORD nativeValues = 0;
  LONG status = RegQueryInfoKeyA(Native(key), nullptr, nullptr, nullptr, &nativeSubKeys, nullptr, nullptr,
                                 &nativeValues, nullptr, nullptr, nullptr, nullptr);
  if (subKeys) *subKeys = nativeSubKeys;
  if (values) *values = nativeValues;
  return static_cast<SystemError>(status);
}

}  // namespace kova::platform
