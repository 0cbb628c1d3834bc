// The registry layer: the current key, the key stack and the operations on
// them; see registry.h.
#include "system/registry.h"

#include <cstring>

#include "core/array.h"
#include "core/failure.h"
#include "core/lasting.h"
#include "format/byte_reader.h"
#include "system/registry_value.h"

namespace kova::system {
namespace {

using platform::kErrorSuccess;

struct KeyState {
  RegistryKey current = 0;
  core::Array<RegistryKey> stack;
};

KeyState& State() {
  static core::Lasting<KeyState> state;
  return state.Get();
}

// Every key name fits here (the registry allows 255 characters).

core::String SoftwarePath(const char* path) {
  core::String full("Software\\");
  full += path;
  return full;
}

}  // namespace

RegistryKey SoftwareRoot(bool perUser) { return perUser ? platform::kCurrentUser : platform::kLocalMachine; }

bool OpenKey(RegistryKey root, const char* subKey, u32 options) {
  RegistryKey key = 0;
  platform::SystemError status = (options & kRegOpenExisting) ? platform::OpenRegistryKey(root, subKey, &key)
                                            : platform::CreateRegistryKey(root, subKey, &key);
  if (status != kErrorSuccess) return false;
  KeyState& state = State();
  state.stack.Append(state.current);
  state.current = key;
  return true;
}

void CloseKey() {
  KeyState& state = State();
  if (state.stack.IsEmpty()) core::RaiseFatalError("Stack<HKEY>::pop");
  if (state.current) platform::CloseRegistryKey(state.current);
  state.current = state.stack.Last();
  state.stack.RemoveLast();
}

bool OpenSubKey(const char* subKey, u32 options) {
  if (!State().current) return false;
  return OpenKey(State().current, subKey, options);
}

bool OpenSoftwareKey(const char* path, bool perUser, u32 options) {
  return OpenKey(SoftwareRoot(perUser), SoftwarePath(path).CStr(), options);
}

bool SoftwareKeyExists(const char* path, bool perUser) {
  if (!path) return false;
  RegistryKey key = 0;
  if (platform::OpenRegistryKey(SoftwareRoot(perUser), SoftwarePath(path).CStr(), &key) != kErrorSuccess)
    return false;
  platform::CloseRegistryKey(key);
  return true;
}

RegistryKey CurrentKey() { return State().current; }

i32 KeyStackDepth() { return State().stack.Size(); }

bool SetStringValue(const char* name, const char* text, u32 options) {
  RegistryKey key = State().current;
  if (!key) return false;
  if (!text) text = "";
  if ((options & kRegDeleteEmpty) && !*text) return DeleteValue(name);
  auto size = static_cast<u32>(std::strlen(text) + 1);
  return platform::SetRegistryValue(key, name, platform::kRegSz, reinterpret_cast<const u8*>(text), size) ==
         kErrorSuccess;
}

bool SetNumberValue(const char* name, i32 number, u32 options) {
  RegistryKey key = State().current;
  if (!key) return false;
  if ((options & kRegDeleteEmpty) && number == 0) return DeleteValue(name);
  u8 bytes[4];
  format::StoreLe32(bytes, static_cast<u32>(number));
  return platform::SetRegistryValue(key, name, platform::kRegDword, bytes, sizeof bytes) == kErrorSuccess;
}

bool SetBoolValue(const char* name, bool value) { return SetNumberValue(name, value ? 1 : 0, 0); }

core::String GetStringValue(const char* name, const char* defaultText, u32 /*options*/) {
  RegistryValue value;
  if (!ReadValue(State().current, name, value)) return core::String(defaultText);
  return ValueToText(value);
}

i32 GetNumberValue(const char* name, i32 defaultNumber, u32 /*options*/) {
  RegistryValue value;
  if (!ReadValue(State().current, name, value)) return defaultNumber;
  return ValueToNumber(value);
}

bool GetBoolValue(const char* name, bool defaultValue, u32 /*options*/) {
  RegistryValue value;
  if (!ReadValue(State().current, name, value)) return defaultValue;
  return ValueToBool(value);
}

bool DeleteValue(const char* name) {
  RegistryKey key = State().current;
  if (!key || !name || !*name) return false;
  return platform::DeleteRegistryValue(key, name) == kErrorSuccess;
}

bool ValueExists(const char* name) {
  RegistryKey key = State().current;
  return key && platform::QueryRegistryValue(key, name, nullptr, nullptr, nullptr) == kErrorSuccess;
}

bool HasSubKeys() {
  RegistryKey key = State().current;
  u32 subKeys = 0;
  return key && platform::QueryRegistryKeyCounts(key, &subKeys, nullptr) == kErrorSuccess && subKeys > 0;
}

bool IsKeyEmpty() {
  RegistryKey key = State().current;
  u32 subKeys = 0;
  u32 values = 0;
  if (!key || platform::QueryRegistryKeyCounts(key, &subKeys, &values) != kErrorSuccess) return true;
  return subKeys == 0 && values == 0;
}

bool DeleteSubKey(const char* name, u32 options) {
  // An empty name would make every step below act on the current key
  // itself: its whole tree emptied and then the key deleted.
  if (!State().current || !name || !*name) return false;
  // Opening creates a missing key, as every open of this layer does; it is
  // then deleted with the rest.
  bool empty = true;
  if (OpenSubKey(name, 0)) {
    if (options & kRegOnlyIfEmpty) empty = IsKeyEmpty();
    CloseKey();
  }
  if (!empty) return false;
  return platform::DeleteRegistryTree(State().current, name) == kErrorSuccess;
}

bool DeleteKeyPath(RegistryKey root, const char* path, u32 options) {
  core::String parent;
  core::String name;
  if (!SplitKeyPath(path, parent, name)) return false;
  if (!OpenKey(root, parent.CStr(), 0)) return false;
  bool deleted = DeleteSubKey(name.CStr(), options);
  CloseKey();
  return deleted;
}

bool DeleteKeyPath(const char* parentPath, const char* name, bool perUser, u32 options) {
  if (!OpenSoftwareKey(parentPath, perUser, 0)) return false;
  bool deleted = DeleteSubKey(name, options);
  CloseKey();
  return deleted;
}

bool DeleteSoftwareKey(const char* path, bool perUser, u32 options) {
  return DeleteKeyPath(SoftwareRoot(perUser), SoftwarePath(path).CStr(), options);
}

core::String ReadRegistryString(RegistryKey root, const char* path, const char* defaultText, u32 options) {
  core::String keyPath;
  core::String name;
  if (!SplitKeyPath(path, keyPath, name)) return core::String(defaultText);
  if (!OpenKey(root, keyPath.CStr(), 0)) return core::String(defaultText);
  core::String text = GetStringValue(name.CStr(), "", options);
  CloseKey();
  return text;
}

bool SplitKeyPath(const char* path, core::String& parent, core::String& name) {
  parent.Clear();
  name.Clear();
  if (!path) return false;
  const char* backslash = std::strrchr(path, '\\');
  if (backslash) {
    parent.Assign(path, static_cast<i32>(backslash - path + 1));
    name = backslash + 1;
  } else if (path[0] && path[1] == ':') {
    parent.Assign(path, 2);
    name = path + 2;
  } else {
    name = path;
  }
  return !name.IsEmpty();
}

}  // namespace kova::system
