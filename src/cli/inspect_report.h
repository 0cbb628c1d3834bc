// The report `kova inspect` prints, built once in both of its forms: the text
// for people and the JSON for programs. Each field is given once, with its
// label and text for the one and its key and value for the other, so the two
// forms cannot drift apart; where they differ (a check shown beside its
// value in the text and gathered in a "checks" object in the JSON, the
// verdict last in the text and first in the JSON) the caller says so with a
// text-only line or a JSON-only member.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace kova::cli {

// Keys stay in the order they are given.
using Json = nlohmann::ordered_json;

// One value in both forms.
struct Shown {
  Json json;
  std::string text;
};

class InspectReport {
 public:
  InspectReport();

  // A field: in the text a line with its label in the label column (below a
  // heading, indented), in the JSON a member of the current object. An empty
  // label leaves it out of the text, an empty key out of the JSON.
  void Field(std::string_view label, std::string_view key, const Shown& value);
  // A member of the current JSON object only.
  void Member(std::string_view key, Json value);
  // A line of the text only, as written.
  void Line(const std::string& text);

  // A blank line and a title; the fields after it are indented.
  void Heading(const std::string& title);
  // A blank line; the fields after it are not indented.
  void Break();

  // A JSON object that the following members go into, until EndObject.
  void BeginObject(std::string_view key);
  void EndObject();

  std::string Text() const { return text_; }
  // Two-space indented, with a final line break. Bytes that are not UTF-8
  // (a file name from the host) come out as U+FFFD rather than as invalid
  // JSON.
  std::string JsonText() const;

 private:
  std::string text_;
  bool indented_ = false;
  Json root_;
  std::vector<Json*> objects_;  // the open objects; the innermost last
};

// A text on one line: line breaks and control characters escaped, in quotes.
std::string Quoted(std::string_view utf8);

}  // namespace kova::cli
