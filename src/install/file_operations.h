// Single files by path: whether one exists (wildcards allowed), whether it
// can be opened for writing (the in-use test), deleting it and its read-only
// attribute.
#pragma once

#include "core/string.h"

namespace kova::install {

// True when at least one file (not a folder) matches the path, which may hold
// * and ?; otherwise the existence test (kModeExists) decides. Relative paths
// are taken from the current directory. An empty path gives false.
bool FileExists(const char* path);

// The in-use test: opening with kModeCanWrite succeeds.
bool CanOpenForWriting(const char* path);

// Clears the read-only attribute, then deletes the file.
bool DeleteFile(const char* path);

// Sets or clears the read-only attribute; true when it already has that
// state, false when the file's attributes cannot be read.
bool SetReadOnly(const char* path, bool on);

}  // namespace kova::install
