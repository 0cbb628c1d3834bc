// Building kova inspect's report in its two forms; see inspect_report.h.
#include "cli/inspect_report.h"

#include <cstdio>

namespace kova::cli {
namespace {

// Values start in this column, below a heading or not.
constexpr std::size_t kValueColumn = 21;

}  // namespace

InspectReport::InspectReport() : root_(Json::object()) { objects_.push_back(&root_); }

void InspectReport::Field(std::string_view label, std::string_view key, const Shown& value) {
  if (!label.empty()) {
    std::string line = indented_ ? "  " : "";
    line += label;
    if (line.size() + 1 < kValueColumn) line.append(kValueColumn - 1 - line.size(), ' ');
    Line(line + " " + value.text);
  }
  if (!key.empty()) Member(key, value.json);
}

void InspectReport::Member(std::string_view key, Json value) {
  (*objects_.back())[std::string(key)] = std::move(value);
}

void InspectReport::Line(const std::string& text) {
  text_ += text;
  text_ += '\n';
}

void InspectReport::Heading(const std::string& title) {
  Line("\n" + title);
  indented_ = true;
}

void InspectReport::Break() {
  Line("");
  indented_ = false;
}

void InspectReport::BeginObject(std::string_view key) {
  // Nothing is added to an object while one inside it is open, so the
  // pointer to the inner one stays valid.
  Json& inner = (*objects_.back())[std::string(key)] = Json::object();
  objects_.push_back(&inner);
}

void InspectReport::EndObject() {
  if (objects_.size() > 1) objects_.pop_back();
}

std::string InspectReport::JsonText() const {
  return root_.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string Quoted(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '"') out += "\\\"";
    else if (c == '\\') out += "\\\\";
    else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned char>(c));
      out += buffer;
    } else out += c;
  }
  return out + "\"";
}

}  // namespace kova::cli
