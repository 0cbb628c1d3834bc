// The sandbox registry's database file: what a host program (kova, the
// tests) needs to know about it beyond the raw registry calls.
//
// The registry lives in "registry.db" in the sandbox root, a SQLite database
// in WAL mode. It is opened on the first registry call and reopened when the
// sandbox root changes; every key handle belongs to the database it came
// from and is invalid after a reopen.
#pragma once

#include "core/string.h"

namespace kova::platform::posix {

// The host path of the registry database of the current sandbox root.
core::String RegistryDatabasePath();

// Closes the database and forgets every open key handle. A process must
// call this before fork() when the child is to use the registry: a SQLite
// connection must not be used on both sides of a fork.
void CloseRegistryDatabase();

}  // namespace kova::platform::posix
