// The process-wide log and error texts; see install_texts.h.
#include "install/install_texts.h"

#include "core/lasting.h"
#include "payload/messages.h"

namespace kova::install {

core::String& LogText() {
  static core::Lasting<core::String> text;
  return text.Get();
}

core::String& ErrorText() {
  static core::Lasting<core::String> text;
  return text.Get();
}

void AddCannotInstall(const char* path) {
  ErrorText().AppendFormat("%s %s\r\n", payload::GetMessage(payload::kMsgCannotInstall).CStr(), path);
}

}  // namespace kova::install
