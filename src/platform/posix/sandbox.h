// The sandbox that stands in for a Windows machine on POSIX: one host folder
// (the root) that holds a folder per drive letter (drive_c/, ...), the
// registry database (registry.db) and whatever else the platform keeps for the
// engine. The host program chooses the root before the engine starts.
#pragma once

#include "core/string.h"

namespace kova::platform::posix {

// Sets the sandbox root (a host path; made absolute). Default: ./kova-root.
void SetSandboxRoot(const char* hostPath);
const core::String& SandboxRoot();

}  // namespace kova::platform::posix
