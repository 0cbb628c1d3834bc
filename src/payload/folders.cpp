// The process-wide installation folders; see folders.h.
#include "payload/folders.h"

#include "core/lasting.h"

namespace kova::payload {

InstallFolders& Folders() {
  static core::Lasting<InstallFolders> folders;
  return folders.Get();
}

}  // namespace kova::payload
