// The process-wide log and error texts; see install_texts.h.
#include "install/install_texts.h"

namespace kova::install {

core::String& LogText() {
  static core::String text;
  return text;
}

core::String& ErrorText() {
  static core::String text;
  return text;
}

}  // namespace kova::install
