// The ExitWindowsEx flags of a restart mode; see restart.h.
#include "platform/restart.h"

namespace kova::platform {

u32 ExitWindowsFlags(i32 mode, bool force) {
  u32 flags = force ? 0x4u : 0x10u;
  switch (mode) {
    case 1: return flags | 0x8u;
    case 2: return flags | 0x2u;
    case 3: return flags;
    default: return flags | 0x1u;
  }
}

}  // namespace kova::platform
