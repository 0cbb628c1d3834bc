// Texts of an installer are 8-bit ANSI (Windows code page 1252) with CR LF
// line breaks, while manifests and the files they name are UTF-8 with any line
// breaks. These helpers convert between the two forms: the builder on the way
// in, inspect and extract on the way out to a UTF-8 terminal or JSON.
#pragma once

#include <string>
#include <string_view>

namespace kova::builder {

// Converts UTF-8 to code page 1252. Returns false and names the first
// character that has no place in the code page (or the first malformed byte)
// in error. A leading byte-order mark is dropped.
bool Utf8ToAnsi(std::string_view utf8, std::string& ansi, std::string& error);

// Converts code page 1252 to UTF-8; every byte has a meaning, so this always
// succeeds.
std::string AnsiToUtf8(std::string_view ansi);

// Turns every LF that is not preceded by CR into CR LF, and a lone CR into
// CR LF as well, so that texts written on any system show their line breaks in
// Windows edit controls and message boxes.
std::string ToCrLf(std::string_view text);

}  // namespace kova::builder
