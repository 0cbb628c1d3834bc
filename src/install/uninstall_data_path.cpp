// The paths of the uninstall data files; see uninstall_data_path.h.
#include "install/uninstall_data_path.h"

#include "core/paths.h"
#include "payload/folders.h"

namespace kova::install {

core::String UninstallDataPath(const char* name) {
  const payload::InstallFolders& folders = payload::Folders();
  // Joined inner part first: with an empty UninstallSubdir the name lands
  // directly in InstallDir, never below a stray backslash.
  core::String inner = core::JoinPath(folders.uninstallSubdir.CStr(), name);
  return core::JoinPath(folders.installDir.CStr(), inner.CStr());
}

}  // namespace kova::install
