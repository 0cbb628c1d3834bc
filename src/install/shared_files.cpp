// SharedDLLs counts and the SharedFiles text; see shared_files.h.
#include "install/shared_files.h"

#include "core/lasting.h"
#include "system/registry.h"

namespace kova::install {
namespace {

struct SharedDllsLocation {
  platform::RegistryKey root = platform::kLocalMachine;
  core::String path = kSharedDllsKey;
};

SharedDllsLocation& Location() {
  static core::Lasting<SharedDllsLocation> location;
  return location.Get();
}

// The registry value name of an entry: without the permanence space.
core::String ValueNameOf(const core::String& entry) {
  if (entry.Length() > 0 && entry[entry.Length() - 1] == ' ') return entry.Left(entry.Length() - 1);
  return entry;
}

// Takes back the counts of an earlier SharedFiles text. Each item consumes
// at least its two quotes, so the loop ends with the text.
void CountDown(const char* previousSharedFiles) {
  core::String rest(previousSharedFiles);
  for (;;) {
    core::String item = ValueNameOf(rest.TakeQuoted(0));
    if (item.IsEmpty()) break;
    if (rest[0] == ';') rest.Erase(0, 1);
    i32 count = system::GetNumberValue(item.CStr(), 0, 0);
    if (count <= 1) system::DeleteValue(item.CStr());
    else system::SetNumberValue(item.CStr(), count - 1, 0);
  }
}

}  // namespace

core::String UpdateSharedFileCounts(const core::Array<core::String>& sharedFileList, bool reinstall,
                                    const char* previousSharedFiles, core::String& errorText) {
  core::String sharedFiles;
  const SharedDllsLocation& location = Location();
  if (!system::OpenKey(location.root, location.path.CStr(), 0)) {
    errorText += kSharedDllsError;
    return sharedFiles;
  }
  if (reinstall && previousSharedFiles && *previousSharedFiles) CountDown(previousSharedFiles);
  for (const core::String& entry : sharedFileList) {
    core::String name = ValueNameOf(entry);
    i32 count = system::GetNumberValue(name.CStr(), 0, 0);
    system::SetNumberValue(name.CStr(), count < 0x7FFFFFFF ? count + 1 : count, 0);
    if (!sharedFiles.IsEmpty()) sharedFiles += ';';
    sharedFiles += '"';
    sharedFiles += entry;
    sharedFiles += '"';
  }
  system::CloseKey();
  return sharedFiles;
}

void SetSharedDllsKey(platform::RegistryKey root, const char* path) {
  Location().root = root;
  Location().path = path;
}

void ResetSharedDllsKey() { Location() = SharedDllsLocation(); }

}  // namespace kova::install
