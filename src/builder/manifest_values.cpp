// Manifest value helpers; see manifest_values.h.
#include "builder/manifest_values.h"

#include <algorithm>
#include <cctype>

#include "builder/ansi_text.h"

namespace kova::builder::manifest {

[[noreturn]] void Fail(const toml::source_region& where, std::string message) {
  throw Failure{where, std::move(message)};
}

Fields::Fields(const toml::table& table, std::string context, std::initializer_list<const char*> keys)
    : table_(table), context_(std::move(context)) {
  for (auto&& entry : table) {
    // A named reference: clang 14 cannot capture a structured binding.
    const toml::key& key = entry.first;
    bool known = std::any_of(keys.begin(), keys.end(), [&](const char* k) { return key.str() == k; });
    if (known) continue;
    std::string list;
    for (const char* k : keys) list += std::string(list.empty() ? "" : ", ") + k;
    Fail(key.source(), "unknown key '" + std::string(key.str()) + "' in " + context_ + " (known keys: " + list + ")");
  }
}

namespace {

const char* TypeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date and time";
    default: return "nothing";
  }
}

}  // namespace

[[noreturn]] void WrongType(const toml::node& node, const std::string& what, const char* expected) {
  Fail(node.source(), what + " must be " + expected + ", not " + TypeName(node));
}

const std::string& RawString(const toml::node& node, const std::string& what) {
  if (!node.is_string()) WrongType(node, what, "a string");
  return node.as_string()->get();
}

// A text of the installer: converted to the ANSI code page; NUL bytes would
// end the text early in the stream and are refused.
std::string Ansi(std::string_view utf8, const toml::node& node, const std::string& what) {
  std::string ansi, reason;
  if (!Utf8ToAnsi(utf8, ansi, reason)) Fail(node.source(), what + ": " + reason);
  if (ansi.find('\0') != std::string::npos) Fail(node.source(), what + " may not contain a NUL character");
  return ansi;
}

std::string Text(const toml::node& node, const std::string& what) { return Ansi(RawString(node, what), node, what); }

std::string Text(const Fields& fields, const char* key, const std::string& fallback) {
  const toml::node* node = fields.Get(key);
  return node ? Text(*node, "'" + std::string(key) + "' in " + fields.Context()) : fallback;
}

i64 Integer(const toml::node& node, const std::string& what) {
  if (!node.is_integer()) WrongType(node, what, "an integer");
  return node.as_integer()->get();
}

bool Boolean(const toml::node& node, const std::string& what) {
  if (!node.is_boolean()) WrongType(node, what, "true or false");
  return node.as_boolean()->get();
}

// A bit set: an array of names and numbers, a single name, or a number.
u32 Bits(const toml::node& node, std::span<const NamedValue> names, const std::string& what) {
  auto one = [&](const toml::node& item) -> u32 {
    if (item.is_integer()) {
      i64 value = item.as_integer()->get();
      if (value < 0 || value > 0xFFFFFFFFll) Fail(item.source(), what + ": " + std::to_string(value) + " is not a 32-bit value");
      return static_cast<u32>(value);
    }
    if (item.is_string()) {
      const std::string& name = item.as_string()->get();
      if (auto bits = LookupName(names, name)) return *bits;
      Fail(item.source(), what + ": unknown name '" + name + "' (known names: " + ListNames(names) + ")");
    }
    WrongType(item, what, "a name, a number or an array of them");
  };
  if (const toml::array* array = node.as_array()) {
    u32 bits = 0;
    for (const toml::node& item : *array) bits |= one(item);
    return bits;
  }
  return one(node);
}

// "#RRGGBB" or a number (a Windows COLORREF, 0x00BBGGRR).
u32 Color(const toml::node& node, const std::string& what) {
  if (node.is_integer()) {
    i64 value = node.as_integer()->get();
    if (value < 0 || value > 0xFFFFFF) Fail(node.source(), what + ": a COLORREF number is 0x000000 to 0xFFFFFF");
    return static_cast<u32>(value);
  }
  const std::string& text = RawString(node, what);
  bool ok = text.size() == 7 && text[0] == '#' &&
            std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  if (!ok) Fail(node.source(), what + ": write a colour as \"#RRGGBB\" (for example \"#1E3C78\")");
  u32 rgb = static_cast<u32>(std::stoul(text.substr(1), nullptr, 16));
  return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

// A local date and time, a date alone (midnight), or "none" for no stamp.
format::FileStamp Stamp(const toml::node& node, const std::string& what) {
  format::FileStamp stamp;
  if (node.is_string() && node.as_string()->get() == "none") return stamp;
  toml::date date{};
  toml::time time{};  // a date alone means midnight
  if (const auto* dt = node.as_date_time()) {
    if (dt->get().offset)
      Fail(node.source(), what + ": stamps are local times; write the date and time without a time zone offset");
    date = dt->get().date;
    time = dt->get().time;
  } else if (const auto* d = node.as_date()) {
    date = d->get();
  } else {
    WrongType(node, what, "a local date and time (1999-12-31T23:59:00), a date, or \"none\"");
  }
  stamp.year = date.year;
  stamp.month = date.month;
  stamp.day = date.day;
  stamp.hour = time.hour;
  stamp.minute = time.minute;
  stamp.second = time.second;
  return stamp;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \r\n\t") == std::string::npos; }
}  // namespace kova::builder::manifest
