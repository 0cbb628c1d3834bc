// ProductFlags: the install script's option word, process-wide for the run.
// The installation itself sets kFlagRestartPending.
#pragma once

#include "core/types.h"

namespace kova::payload {

u32 ProductFlags();
void SetProductFlags(u32 flags);
void AddProductFlags(u32 flags);

}  // namespace kova::payload
