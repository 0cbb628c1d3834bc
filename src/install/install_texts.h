// The two process-wide texts the installation writes into as it goes: the
// log text (lines about existing files and, with ProductFlags 0x100000, one
// line per installed file) and the error text (lines about what could not be
// done: files not installed, folders not created, registry failures). Every
// line ends in CR LF. The install log writes both and shows the error text at
// the end; nothing clears them before the process ends.
#pragma once

#include "core/string.h"

namespace kova::install {

core::String& LogText();
core::String& ErrorText();

// Appends the line of something that could not be installed or made:
// message 31, a space, the path, CR LF.
void AddCannotInstall(const char* path);

}  // namespace kova::install
