// Environment expansion on POSIX with the Windows rules: %NAME% is replaced by
// the variable's value (names compared without regard to case, as Windows
// does), an unknown or unterminated reference stays as written.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "platform/environment.h"

extern char** environ;

namespace kova::platform {
namespace {

const char* LookUp(const char* name, i32 length) {
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals && equals - *entry == length && strncasecmp(*entry, name, static_cast<std::size_t>(length)) == 0)
      return equals + 1;
  }
  return nullptr;
}

}  // namespace

bool ExpandEnvironmentText(const char* text, i32 bufferSize, core::String& result) {
  result.Clear();
  if (!text || bufferSize < 1) return false;
  for (const char* p = text; *p;) {
    const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
    const char* value = close ? LookUp(p + 1, static_cast<i32>(close - p - 1)) : nullptr;
    if (value) {
      result += value;
      p = close + 1;
    } else {
      result += *p++;
    }
  }
  return result.Length() + 1 <= bufferSize;
}

}  // namespace kova::platform
