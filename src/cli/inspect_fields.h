// What `kova inspect` reports about an installer: the archive section and
// header with their checks, every install-script item, the languages and
// messages, the volumes, the files and the verdict, each field once with its
// text and its JSON form.
#pragma once

#include "builder/installer_reader.h"
#include "cli/inspect_report.h"

namespace kova::cli {

void DescribeInstaller(const builder::InstallerContents& contents, InspectReport& report);

}  // namespace kova::cli
