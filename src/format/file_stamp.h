// FileStamp: a file's last-write time as the archive and the installer carry
// it, six signed 32-bit values in local time. A stamp is set when its month is
// not 0.
#pragma once

#include "core/types.h"

namespace kova::format {

struct FileStamp {
  i32 year = 0;
  i32 month = 0;
  i32 day = 0;
  i32 hour = 0;
  i32 minute = 0;
  i32 second = 0;

  bool IsSet() const { return month != 0; }
};

// The on-disk size of a stamp: six little-endian i32.
inline constexpr i32 kFileStampBytes = 24;

}  // namespace kova::format
