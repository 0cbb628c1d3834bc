// The built-in English message table that every installer starts from: one
// text for each message number the installer and uninstaller use, in the
// product-neutral wording of this tool, with "<product>" where the product
// name belongs. A manifest replaces only the numbers it names.
//
// Many messages are used as printf formats by the stub, some with arguments
// (message 19 gets a size text, a drive letter and another size text). A text
// with other conversions than those would make the stub read arguments that
// are not there, so the builder checks every message against the list here.
#pragma once

#include <string>
#include <string_view>

namespace kova::builder {

inline constexpr int kDefaultMessageCount = 65;

// The default text of message number (the empty text outside the table).
const char* DefaultMessage(int number);

// The conversions the stub passes to a message, in order: one letter each
// ("s" text, "c" character, "d" integer); empty for messages that get none.
const char* MessageArguments(int number);

// Checks the printf conversions in text against MessageArguments(number): a
// text may use the arguments in order, or fewer of them, and "%%"; anything
// else is refused with a reason in error. Numbers beyond the table are not
// used by the stub and take any text.
bool CheckMessageFormat(int number, std::string_view text, std::string& error);

}  // namespace kova::builder
