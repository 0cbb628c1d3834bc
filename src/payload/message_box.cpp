// The message-box function; see message_box.h.
#include "payload/message_box.h"

namespace kova::payload {
namespace {

MessageBoxFunction& Box() {
  static MessageBoxFunction box = platform::ShowMessageBox;
  return box;
}

}  // namespace

int ShowBox(platform::WindowHandle owner, const char* text, const char* caption, u32 style) {
  return Box()(owner, text, caption, style);
}

void SetMessageBoxFunction(MessageBoxFunction box) { Box() = box ? box : platform::ShowMessageBox; }

}  // namespace kova::payload
