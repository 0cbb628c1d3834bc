// The registry layer: all registry work of the installer and the uninstaller
// goes through these operations over the raw registry of platform/.
//
// Its one idea is the current key. OpenKey makes a key current and pushes
// the one that was current before on the key stack; CloseKey closes it and
// returns to that one. Nested work (a file type, its shell verb, the verb's
// command) is written as balanced open and close calls, and every value
// operation acts on whatever key is current. Operations that open keys
// themselves (DeleteSubKey, DeleteKeyPath, DeleteSoftwareKey,
// ReadRegistryString) restore the current key before they return, so they
// can be called while another key is current.
//
// Failures are results (false, or the caller's default); no operation shows
// a message. The state is process-wide and used by one thread.
#pragma once

#include "core/string.h"
#include "platform/registry.h"

namespace kova::system {

using platform::RegistryKey;

// The options word of the operations below; other bits are ignored.
inline constexpr u32 kRegDeleteEmpty = 0x08;   // empty text or the number 0 deletes the value instead
inline constexpr u32 kRegOnlyIfEmpty = 0x20;   // a key is deleted only without subkeys and values
inline constexpr u32 kRegOpenExisting = 0x40;  // open an existing key only; never create it

// Root of the keys below "Software\": HKEY_CURRENT_USER per user, else
// HKEY_LOCAL_MACHINE.
RegistryKey SoftwareRoot(bool perUser);

// Opens root\subKey (creating it and its missing parents unless
// kRegOpenExisting) and makes it current. On failure nothing changes.
bool OpenKey(RegistryKey root, const char* subKey, u32 options);
// Closes the current key and makes the previous one current again. A close
// without a matching open ends the program (fatal error "Stack<HKEY>::pop").
void CloseKey();
// OpenKey below the current key; false without one.
bool OpenSubKey(const char* subKey, u32 options);
// OpenKey of "Software\" + path under the root of perUser.
bool OpenSoftwareKey(const char* path, bool perUser, u32 options);
// Whether "Software\" + path exists; the current key is not touched.
bool SoftwareKeyExists(const char* path, bool perUser);

// The current key (0 when there is none) and the depth of the key stack.
RegistryKey CurrentKey();
i32 KeyStackDepth();

// Value operations on the current key; false without one. A null or empty
// value name is the key's default value.
bool SetStringValue(const char* name, const char* text, u32 options);
bool SetNumberValue(const char* name, i32 number, u32 options);
bool SetBoolValue(const char* name, bool value);
core::String GetStringValue(const char* name, const char* defaultText, u32 options);
i32 GetNumberValue(const char* name, i32 defaultNumber, u32 options);
bool GetBoolValue(const char* name, bool defaultValue, u32 options);
// The default value cannot be deleted this way: a null or empty name is false.
bool DeleteValue(const char* name);
bool ValueExists(const char* name);
bool HasSubKeys();
// No subkeys and no values; also true without a current key or when the
// query fails.
bool IsKeyEmpty();

// Deletes subkey name of the current key with everything below it, deepest
// first; with kRegOnlyIfEmpty only when it has neither subkeys nor values.
bool DeleteSubKey(const char* name, u32 options);
// Splits path into parent and name, opens root\parent (creating it when
// missing; an empty parent is root itself) and deletes name below it.
bool DeleteKeyPath(RegistryKey root, const char* path, u32 options);
// The same with the parent given below "Software\" and the name apart.
bool DeleteKeyPath(const char* parentPath, const char* name, bool perUser, u32 options);
// DeleteKeyPath of "Software\" + path under the root of perUser.
bool DeleteSoftwareKey(const char* path, bool perUser, u32 options);

// path is key\value. Opens root\key (creating it when missing) and returns
// the value as text; a missing value in the opened key is empty text. The
// caller's default comes back only when the value name is empty or the key
// cannot be opened.
core::String ReadRegistryString(RegistryKey root, const char* path, const char* defaultText, u32 options);

// The split used by DeleteKeyPath and ReadRegistryString: at the last
// backslash, the parent keeps the backslash; without one the parent is
// empty, or "X:" when the second character is a colon. False when the name
// would be empty.
bool SplitKeyPath(const char* path, core::String& parent, core::String& name);

}  // namespace kova::system
