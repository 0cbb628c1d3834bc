// Version resources on POSIX: the file is read through the sandbox and its
// resource walked by pe_version.h.
#include "platform/file_version.h"

#include "platform/file_system.h"
#include "platform/posix/pe_version.h"

namespace kova::platform {
namespace {

bool ReadFromFile(void* file, u64 offset, void* buffer, u32 size) {
  if (offset > 0x7FFFFFFFFFFFull) return false;
  if (!MoveFilePointer(file, static_cast<i64>(offset), kSeekBegin, nullptr)) return false;
  u32 done = 0;
  return ReadFileData(file, buffer, size, &done) && done == size;
}

}  // namespace

core::String FileVersionValue(const char* path, const char* subBlock) {
  if (!path || !subBlock) return core::String();
  // Shared as version.dll opens it: a file in use can still be asked.
  ScopedFile file(OpenFileHandle(path, kAccessRead, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal));
  if (!file) return core::String();
  posix::ImageBytes image{ReadFromFile, file.Get()};
  core::ByteBuffer resource;
  if (!posix::ReadVersionResource(image, resource)) return core::String();
  return posix::VersionBlockText(resource.Data(), resource.Size(), subBlock);
}

}  // namespace kova::platform
