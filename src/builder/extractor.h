// Extraction of an installer's files into a directory (`kova extract`),
// without running anything. Files go where the installer would put them,
// relative to the directory:
//   install-dir and startup files       DIR/<name>
//   files with the uninstall-dir flag   DIR/<UninstallSubdir>/<name>
//   shared files                        DIR/%SharedDir%/<name>
//   fonts                               DIR/%FontDir%/<name>
//   system files                        DIR/%SystemDir%/<name>
// Every name is checked to stay inside the directory before anything is
// written, and each file is written whole or not at all.
#pragma once

#include <string>
#include <vector>

#include "builder/host_files.h"
#include "builder/installer_reader.h"

namespace kova::builder {

// Decides the output files for a sound installer (contents.Ok()). Fails,
// naming the record, when a name would leave the directory (absolute paths,
// drive letters, "..", slash and backslash both separating) or pass through
// a symbolic link already in it. A later record for the same target replaces
// an earlier one, as on installation.
bool PlanExtraction(const InstallerContents& contents, const std::string& directory, std::vector<OutputFile>& files,
                    std::string& error);

// PlanExtraction, then creates the folders and writes the files with their
// stamps.
bool ExtractFiles(const InstallerContents& contents, const std::string& directory, std::vector<std::string>& written,
                  std::string& error);

}  // namespace kova::builder
