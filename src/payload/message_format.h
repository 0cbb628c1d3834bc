// Formatting a message of the archive with arguments. Message texts are
// data of the installer, not formats to trust: a conversion that does not
// match the argument given (a "%s" where a number was passed, or one
// conversion too many) must not read what was never passed. Each conversion
// is taken with its flags, width and precision when its argument has the
// right kind, and otherwise copied as it stands.
#pragma once

#include <initializer_list>

#include "core/string.h"

namespace kova::payload {

struct MessageArg {
  MessageArg(const char* value) : isText(true), text(value ? value : "") {}  // NOLINT: implicit by design
  MessageArg(const core::String& value) : isText(true), text(value.CStr()) {}  // NOLINT
  MessageArg(i32 value) : isText(false), integer(value) {}                       // NOLINT
  MessageArg(char value) : isText(false), integer(static_cast<unsigned char>(value)) {}  // NOLINT

  bool isText;
  const char* text = "";
  i32 integer = 0;
};

core::String FormatMessageText(const char* format, std::initializer_list<MessageArg> args);

}  // namespace kova::payload
