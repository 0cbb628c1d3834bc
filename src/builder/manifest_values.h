// The value helpers of the manifest reader: typed access to TOML nodes with
// errors that name the node's line (texts converted to the ANSI code page,
// bit sets from names or numbers, colours, stamps), and Fields, which refuses
// keys a table does not know. Problems are thrown as ManifestFailure; the
// reader catches them in one place (ParseManifest), so nothing escapes.
#pragma once

#include <toml++/toml.h>

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "builder/flag_names.h"
#include "format/file_stamp.h"

namespace kova::builder::manifest {

struct Failure {
  toml::source_region where;
  std::string message;
};

[[noreturn]] void Fail(const toml::source_region& where, std::string message);

// One TOML table and the keys it may hold; an unknown key fails at once.
class Fields {
 public:
  Fields(const toml::table& table, std::string context, std::initializer_list<const char*> keys);
  const toml::node* Get(const char* key) const { return table_.get(key); }
  const toml::table& Table() const { return table_; }
  const std::string& Context() const { return context_; }

 private:
  const toml::table& table_;
  std::string context_;
};

[[noreturn]] void WrongType(const toml::node& node, const std::string& what, const char* expected);
const std::string& RawString(const toml::node& node, const std::string& what);
// A UTF-8 text as the ANSI code page; NUL bytes are refused.
std::string Ansi(std::string_view utf8, const toml::node& node, const std::string& what);
std::string Text(const toml::node& node, const std::string& what);
std::string Text(const Fields& fields, const char* key, const std::string& fallback = "");
i64 Integer(const toml::node& node, const std::string& what);
bool Boolean(const toml::node& node, const std::string& what);
// A bit set: an array of names and numbers, a single name, or a number.
u32 Bits(const toml::node& node, std::span<const NamedValue> names, const std::string& what);
// "#RRGGBB" or a COLORREF number, as a COLORREF (0x00BBGGRR).
u32 Color(const toml::node& node, const std::string& what);
// A local date and time, a date alone (midnight), or "none" for no stamp.
format::FileStamp Stamp(const toml::node& node, const std::string& what);
bool IsBlank(const std::string& text);

}  // namespace kova::builder::manifest
