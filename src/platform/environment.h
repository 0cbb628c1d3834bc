// Environment variables in the Windows %NAME% form.
#pragma once

#include "core/string.h"

namespace kova::platform {

// ExpandEnvironmentStringsA into a buffer of bufferSize characters; false when
// the call fails or the result does not fit.
bool ExpandEnvironmentText(const char* text, i32 bufferSize, core::String& result);

}  // namespace kova::platform
