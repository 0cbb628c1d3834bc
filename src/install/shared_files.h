// Shared and system files: the reference counts that Windows keeps for them
// in the registry (values named by the file's path under the SharedDLLs key
// of HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion), and the
// SharedFiles text the uninstall registration keeps, from which the
// uninstaller counts them down again.
//
// The shared-file list holds one entry per shared or system file installed
// (or kept): the target path, followed by one space when the file is
// permanent. The space is part of the SharedFiles text but never of a
// registry value name.
#pragma once

#include "core/array.h"
#include "core/string.h"
#include "platform/registry.h"

namespace kova::install {

inline constexpr const char* kSharedDllsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr const char* kSharedDllsError = "Registry error: unable to increment shared file reference counts.\r\n\r\n";

// On a reinstallation, the counts of the earlier installation's SharedFiles
// text are taken back first (a count of 1 or less deletes its value). Then
// each entry of the list raises its count by one, and the new SharedFiles
// text is returned: the entries, each in double quotes, separated by ';'.
// When the key cannot be opened the counts are left alone, the error text
// gets its line, and the result is empty.
core::String UpdateSharedFileCounts(const core::Array<core::String>& sharedFileList, bool reinstall,
                                    const char* previousSharedFiles, core::String& errorText);

// Where the counts live: root\path instead of the real key (the tests use a
// throw-away key); ResetSharedDllsKey goes back to HKEY_LOCAL_MACHINE.
void SetSharedDllsKey(platform::RegistryKey root, const char* path);
void ResetSharedDllsKey();

}  // namespace kova::install
