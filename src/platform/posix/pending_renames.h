// Moves delayed until the system restarts. Windows keeps them in the registry
// value PendingFileRenameOperations of the key Session Manager (under
// HKLM\SYSTEM\CurrentControlSet\Control) as pairs of paths, "\??\" before
// each, "!" before a target that may be replaced, an empty target for a
// deletion. The sandbox keeps the same pairs, one path a line, in the file
// PendingFileRenameOperations.txt of the root, where a restart of the sandbox
// carries them out. (Moving them into the sandbox registry is a change of
// this file alone.)
#pragma once

#include "core/array.h"
#include "core/string.h"

namespace kova::platform::posix {

struct PendingRename {
  core::String from;  // full Windows path
  core::String to;    // full Windows path; empty: delete from
  bool replace = false;
};

core::String PendingRenamesFile();
// Appends one pair; false with the last error set when it cannot be written.
bool RecordPendingRename(const char* from, const char* to, bool replace);
// The pairs recorded so far, in order; an absent file holds none.
bool ReadPendingRenames(core::Array<PendingRename>* renames);

}  // namespace kova::platform::posix
