// The process-wide log and error texts; see install_texts.h.
#include "install/install_texts.h"

#include "payload/messages.h"

namespace kova::install {

core::String& LogText() {
  static core::String text;
  return text;
}

core::String& ErrorText() {
  static core::String text;
  return text;
}

void AddCannotInstall(const char* path) {
  ErrorText().AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotInstall).CStr(), path);
}

}  // namespace kova::install
