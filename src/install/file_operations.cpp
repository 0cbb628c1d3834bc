// Single files by path; see file_operations.h.
#include "install/file_operations.h"

#include "install/file.h"
#include "platform/directory.h"
#include "platform/file_system.h"

namespace kova::install {
namespace {

// The file-specification search: whether some entry that is not a folder
// matches. A specification list (several separated by ';') is not needed by
// the engine; the whole path is one specification.
bool AnyFileMatches(const char* specification) {
  platform::FindEntry entry;
  platform::ScopedFind find(platform::FindFirst(specification, &entry));
  if (!find) return false;
  do {
    if (!(entry.attributes & platform::kAttributeDirectory)) return true;
  } while (platform::FindNext(find.Get(), &entry));
  return false;
}

}  // namespace

bool FileExists(const char* path) {
  if (!path || !*path) return false;
  if (AnyFileMatches(path)) return true;
  File file;
  return file.Open(path, kModeExists) == kOpenOk;
}

bool CanOpenForWriting(const char* path) {
  File file;
  return file.Open(path, kModeCanWrite) == kOpenOk;
}

bool DeleteFile(const char* path) {
  if (!path) return false;
  u32 attributes = platform::FileAttributesOf(path);
  if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeReadOnly))
    platform::SetFileAttributesOf(path, attributes & ~platform::kAttributeReadOnly);
  return platform::RemoveFile(path);
}

bool SetReadOnly(const char* path, bool on) {
  if (!path) return false;
  u32 attributes = platform::FileAttributesOf(path);
  if (attributes == platform::kInvalidAttributes) return false;
  if (((attributes & platform::kAttributeReadOnly) != 0) == on) return true;
  u32 changed = on ? attributes | platform::kAttributeReadOnly : attributes & ~platform::kAttributeReadOnly;
  return platform::SetFileAttributesOf(path, changed);
}

}  // namespace kova::install
