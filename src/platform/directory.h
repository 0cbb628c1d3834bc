// Directories on the operating system: creating and removing one folder,
// enumerating a folder with a file specification (FindFirstFileA and
// FindNextFileA, wildcards * and ?), and the process's current directory.
// Failures leave their Win32 error number (system_error.h).
#pragma once

#include "core/string.h"

namespace kova::platform {

// CreateDirectoryA without security attributes: the parent must exist; an
// existing folder or file fails with kErrorAlreadyExists.
bool MakeDirectory(const char* path);
// RemoveDirectoryA: the folder must be empty (kErrorDirNotEmpty).
bool RemoveEmptyDirectory(const char* path);

// SetCurrentDirectoryA.
bool SetCurrentDirectoryPath(const char* path);
// GetCurrentDirectoryA: when the directory and its NUL fit in size
// characters it is copied and its length returned; otherwise nothing is
// copied and the size needed (NUL included) is returned. 0 on failure.
u32 CurrentDirectoryInto(u32 size, char* buffer);

// One entry found by a file specification.
struct FindEntry {
  core::String name;  // as stored, letter case kept
  u32 attributes = 0;  // file_system.h attribute bits
  i64 size = 0;
};

// A running enumeration; null means none.
using FindHandle = void*;

// FindFirstFileA: the entries of the folder named by the pattern's
// directory part whose names match its last part, letters compared without
// regard to case. A folder other than a drive root also lists "." and "..".
// No match: null with kErrorFileNotFound; a missing folder: kErrorPathNotFound.
FindHandle FindFirst(const char* specification, FindEntry* entry);
// FindNextFileA: false with kErrorNoMoreFiles after the last entry.
bool FindNext(FindHandle find, FindEntry* entry);
void CloseFind(FindHandle find);

// Owns one enumeration.
class ScopedFind {
 public:
  ScopedFind() = default;
  explicit ScopedFind(FindHandle find) : find_(find) {}
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;
  ~ScopedFind() {
    if (find_) CloseFind(find_);
  }

  FindHandle Get() const { return find_; }
  explicit operator bool() const { return find_ != nullptr; }

 private:
  FindHandle find_ = nullptr;
};

}  // namespace kova::platform
