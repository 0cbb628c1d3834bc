// Temporary folder, temporary files and short paths; see temp_files.h.
#include "install/temp_files.h"

#include <cstring>

#include "core/lasting.h"
#include "core/memory.h"
#include "platform/file_names.h"

namespace kova::install {

core::String ComputeTempDirectory(TempPathQuery query) {
  // First the length (NUL included), then a buffer one larger.
  u32 needed = query(0, nullptr);
  core::String folder;
  if (needed > 0 && needed < 0x10000) {
    char* buffer = static_cast<char*>(core::Allocate(needed + 1));
    u32 length = query(needed + 1, buffer);
    if (length > 0 && length <= needed) folder.Assign(buffer, static_cast<i32>(length));
    core::Release(buffer);
  }
  if (folder.IsEmpty()) folder = "c:\\temp";
  return folder;
}

const core::String& TempDirectory() {
  static core::Lasting<core::String> folder;
  static bool computed = false;
  if (!computed) {
    folder.Get() = ComputeTempDirectory(platform::TempPathInto);
    computed = true;
  }
  return folder.Get();
}

core::String MakeTempFile(const char* folder) {
  char name[platform::kMaxPath + 1] = {};
  if (!folder || platform::TempFileNameInto(folder, "KVT", 0, name) == 0) return core::String();
  return core::String(name);
}

core::String ShortPath(const char* path) {
  if (!path || !*path) return core::String();
  u64 twice = 2 * static_cast<u64>(std::strlen(path));
  u32 size = twice > platform::kMaxPath ? static_cast<u32>(twice) : platform::kMaxPath;
  char* buffer = static_cast<char*>(core::Allocate(size));
  u32 written = platform::ShortPathInto(path, buffer, size);
  core::String result = written > 0 && written < size ? core::String(buffer, static_cast<i32>(written)) : core::String(path);
  core::Release(buffer);
  return result;
}

}  // namespace kova::install
