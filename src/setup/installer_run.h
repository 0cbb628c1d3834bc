// What the entry routine owns for the whole run of an installation: the open
// program file, the opened archive with the decompressed install script, the
// values read from it and the uninstaller image. Nothing of it is freed
// before the process ends.
#pragma once

#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/archive_open.h"
#include "format/install_script.h"
#include "install/file.h"
#include "install/install_files.h"

namespace kova::setup {

struct InstallerRun {
  install::File file;
  format::OpenedArchive archive;
  format::InstallScript script;
  core::ByteBuffer uninstallerImage;
  bool reinstall = false;  // over an earlier registration of the product
  install::InstallFilesOutput files;  // what the file loop did
  bool startMenuShortcut = false;  // a shortcut was made in the product's Start-menu folder
  core::String associationsText;   // "extension~!~file type~!~verb" lines, for the uninstall data
};

// The installation once the archive is read: from the language choice to
// the end of the program. Never returns.
[[noreturn]] void RunInstallation(InstallerRun& run);

}  // namespace kova::setup
