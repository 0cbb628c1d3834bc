// Fonts on POSIX: the sandbox keeps no font table, so registering and
// removing a font succeed and nobody needs telling.
#include "platform/fonts.h"

namespace kova::platform {

i32 AddFontFile(const char* name) { return name ? 1 : 0; }

bool RemoveFontFile(const char* name) { return name != nullptr; }

void BroadcastFontChange() {}

}  // namespace kova::platform
