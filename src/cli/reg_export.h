// REGEDIT4 text of the sandbox registry: what `kova reg export` prints and
// what Windows' and Wine's regedit import. Sections name each key by its full
// path ([HKEY_...\Key]), values follow as "name"=..., @ for the default value:
// texts in quotes with \\ and \" escaped (and \r, \n, which Wine reads),
// dword:xxxxxxxx for a 4-byte REG_DWORD, and hex bytes for everything else,
// hex: for REG_BINARY and hex(n): for other types (hex(2): REG_EXPAND_SZ,
// hex(7): REG_MULTI_SZ), wrapped as regedit wraps them. Lines end in CR LF.
#pragma once

#include <string>

#include "platform/registry.h"

namespace kova::cli {

// The header line and the blank line after it.
std::string Regedit4Header();

// The sections of key (open, named fullPath) and of every key below it, in
// enumeration order; root keys without values get no section of their own.
// Fails only when the registry does (the error is returned in *error).
bool AppendRegedit4Tree(platform::RegistryKey key, const std::string& fullPath, bool isRoot, std::string& out,
                        platform::SystemError* error);

// One value line, without its line break.
std::string Regedit4ValueLine(const std::string& name, u32 type, const std::string& data);

}  // namespace kova::cli
