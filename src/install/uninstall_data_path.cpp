// The paths of the uninstall data files; see uninstall_data_path.h.
#include "install/uninstall_data_path.h"

#include "install/folders.h"
#include "install/paths.h"

namespace kova::install {

core::String UninstallDataPath(const char* name) {
  const InstallFolders& folders = Folders();
  // Joined inner part first: with an empty UninstallSubdir the name lands
  // directly in InstallDir, never below a stray backslash.
  core::String inner = JoinPath(folders.uninstallSubdir.CStr(), name);
  return JoinPath(folders.installDir.CStr(), inner.CStr());
}

}  // namespace kova::install
