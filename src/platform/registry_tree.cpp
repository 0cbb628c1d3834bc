// Deleting a registry key with everything below it, written once over the
// calls of registry.h for both platforms.
#include "core/array.h"
#include "core/string.h"
#include "platform/registry.h"

namespace kova::platform {

SystemError DeleteRegistryTree(RegistryKey key, const char* subKey) {
  if (!subKey || !*subKey) return kErrorInvalidParameter;
  SystemError status = kErrorSuccess;
  {
    ScopedRegistryKey child;
    status = OpenRegistryKey(key, subKey, child.Out());
    if (status != kErrorSuccess) return status;
    // The names are collected first: deleting while enumerating would shift
    // the indexes under the loop. Depth is bounded by the registry itself
    // (512 levels), so is the recursion.
    core::Array<core::String> children;
    char name[kMaxKeyNameLength + 1];
    for (u32 index = 0; EnumRegistryKey(child.Get(), index, name, sizeof name) == kErrorSuccess; ++index)
      children.Append(core::String(name));
    for (const core::String& grandchild : children) {
      SystemError result = DeleteRegistryTree(child.Get(), grandchild.CStr());
      if (status == kErrorSuccess) status = result;
    }
  }
  return status != kErrorSuccess ? status : DeleteRegistryKey(key, subKey);
}

}  // namespace kova::platform
