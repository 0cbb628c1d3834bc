// The process-wide installation folders; see folders.h.
#include "payload/folders.h"

namespace kova::payload {

InstallFolders& Folders() {
  static InstallFolders folders;
  return folders;
}

}  // namespace kova::payload
