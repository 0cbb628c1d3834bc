// The raw registry: the handful of advapi32 calls the installer makes, with
// their Win32 meaning, argument rules and error values. On Windows these are
// the ANSI functions themselves; on POSIX a database in the sandbox root
// (posix/registry.cpp) answers them the way Windows does, so the registry
// layer above (system/registry.h) is written once.
//
// Every function returns a Win32 error value (kErrorSuccess on success), as
// the advapi32 calls do; it is not left behind as the last system error.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "platform/system_error.h"

namespace kova::platform {

// An open key: an HKEY on Windows, a handle number on POSIX. 0 is none.
using RegistryKey = std::uintptr_t;

// The predefined roots, with the values Windows gives them (sign-extended
// on 64-bit Windows, as the HKEY macros do).
constexpr RegistryKey PredefinedKey(u32 value) {
  return static_cast<RegistryKey>(static_cast<std::intptr_t>(static_cast<i32>(value)));
}
inline constexpr RegistryKey kClassesRoot = PredefinedKey(0x80000000u);
inline constexpr RegistryKey kCurrentUser = PredefinedKey(0x80000001u);
inline constexpr RegistryKey kLocalMachine = PredefinedKey(0x80000002u);
inline constexpr RegistryKey kUsers = PredefinedKey(0x80000003u);
inline constexpr RegistryKey kCurrentConfig = PredefinedKey(0x80000005u);

// Value types.
inline constexpr u32 kRegNone = 0;
inline constexpr u32 kRegSz = 1;
inline constexpr u32 kRegExpandSz = 2;
inline constexpr u32 kRegBinary = 3;
inline constexpr u32 kRegDword = 4;
inline constexpr u32 kRegMultiSz = 7;

// Error values beyond the common ones of platform/system_error.h that the
// registry reports (the last three come from the POSIX database: it is
// held by another process past the wait, damaged, or failed to read or write).
inline constexpr SystemError kErrorBadPathName = 161;
inline constexpr SystemError kErrorBusy = 170;
inline constexpr SystemError kErrorMoreData = 234;
inline constexpr SystemError kErrorNoMoreItems = 259;
inline constexpr SystemError kErrorBadDatabase = 1009;
inline constexpr SystemError kErrorRegistryIo = 1016;
inline constexpr SystemError kErrorKeyDeleted = 1018;

// Longest key name (one path component) and value name Windows accepts.
inline constexpr i32 kMaxKeyNameLength = 255;
inline constexpr i32 kMaxValueNameLength = 16383;

// The functions are named after the advapi32 call each one stands for
// (<windows.h> keeps the Reg... names for its own macros).

// RegOpenKeyExA with KEY_ALL_ACCESS. An empty or null subKey opens a new
// handle to root itself.
SystemError OpenRegistryKey(RegistryKey root, const char* subKey, RegistryKey* result);
// RegCreateKeyExA with an empty class, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS
// and default security: opens the key, or creates it with its missing parents.
SystemError CreateRegistryKey(RegistryKey root, const char* subKey, RegistryKey* result);
// RegCloseKey. Closing a predefined root does nothing and succeeds.
SystemError CloseRegistryKey(RegistryKey key);

// RegQueryValueExA. A null or empty name is the key's default value. With
// data null only *size (when given) and *type are filled. When the data does
// not fit *size bytes the result is kErrorMoreData and *size is the size
// needed; nothing beyond *size bytes of data is ever written.
SystemError QueryRegistryValue(RegistryKey key, const char* name, u32* type, u8* data, u32* size);
// RegSetValueExA: stores size bytes of data as the value's data.
SystemError SetRegistryValue(RegistryKey key, const char* name, u32 type, const u8* data, u32 size);
// RegDeleteValueA.
SystemError DeleteRegistryValue(RegistryKey key, const char* name);

// RegDeleteKeyA: deletes the key subKey names below key, which must have no
// subkeys of its own (kErrorAccessDenied otherwise). An empty subKey deletes
// key itself.
SystemError DeleteRegistryKey(RegistryKey key, const char* subKey);

// RegEnumKeyA: the name of subkey number index into name (nameSize bytes,
// NUL included). kErrorMoreData when it does not fit, kErrorNoMoreItems past
// the last subkey. Subkeys come in the order of their names, compared
// without regard to letter case.
SystemError EnumRegistryKey(RegistryKey key, u32 index, char* name, u32 nameSize);
// RegEnumValueA, with the buffers sized for the caller: value number index
// (in the order the values were created) with its name, type and data bytes.
SystemError EnumRegistryValue(RegistryKey key, u32 index, core::String& name, u32& type, core::String& data);
// RegQueryInfoKeyA: the number of subkeys and of values.
SystemError QueryRegistryKeyCounts(RegistryKey key, u32* subKeys, u32* values);

// Deletes the key subKey names below key with everything below it, deepest
// first (RegDeleteKeyA deletes only keys without subkeys). What can be
// deleted is; the first failure is returned. A non-empty subKey is
// required, so key itself is never emptied by mistake.
SystemError DeleteRegistryTree(RegistryKey key, const char* subKey);

// The owner of an open key: closed when the owner goes.
class ScopedRegistryKey {
 public:
  ScopedRegistryKey() = default;
  explicit ScopedRegistryKey(RegistryKey key) : key_(key) {}
  ~ScopedRegistryKey() { Reset(); }
  ScopedRegistryKey(const ScopedRegistryKey&) = delete;
  ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

  RegistryKey Get() const { return key_; }
  // For the calls that return a key: the slot, after closing what was held.
  RegistryKey* Out() {
    Reset();
    return &key_;
  }
  void Reset() {
    if (key_) CloseRegistryKey(key_);
    key_ = 0;
  }
  explicit operator bool() const { return key_ != 0; }

 private:
  RegistryKey key_ = 0;
};

}  // namespace kova::platform
