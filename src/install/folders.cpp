// The process-wide installation folders; see folders.h.
#include "install/folders.h"

namespace kova::install {

InstallFolders& Folders() {
  static InstallFolders folders;
  return folders;
}

}  // namespace kova::install
