// Shell links (.lnk files): the shortcuts of an installation. Windows makes
// them with the shell's link object (IShellLinkA and IPersistFile); the
// sandbox writes the same fields in the shell-link file format.
#pragma once

#include "core/types.h"

namespace kova::platform {

// Saves a link at linkPath (its folder must exist) to target, with the
// arguments and working directory when they are not empty and the icon of
// iconFile (index 0; the target's own when empty). False when the link
// could not be saved.
bool SaveShellLink(const char* linkPath, const char* target, const char* arguments, const char* workingDirectory,
                   const char* iconFile);

}  // namespace kova::platform
