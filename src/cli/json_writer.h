// A small streaming JSON writer for `kova inspect --json`: objects, arrays,
// strings (escaped; the caller passes UTF-8), numbers and booleans, with
// two-space indentation. Commas and nesting are tracked here so the callers
// only name keys and values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kova::cli {

class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}

  void BeginObject(std::string_view key = {}) { Open(key, '{'); }
  void EndObject() { Close('}'); }
  void BeginArray(std::string_view key = {}) { Open(key, '['); }
  void EndArray() { Close(']'); }

  void String(std::string_view key, std::string_view value) {
    Key(key);
    Quoted(value);
  }
  void Number(std::string_view key, long long value) {
    Key(key);
    std::fprintf(out_, "%lld", value);
  }
  void Bool(std::string_view key, bool value) {
    Key(key);
    std::fputs(value ? "true" : "false", out_);
  }
  void Null(std::string_view key) {
    Key(key);
    std::fputs("null", out_);
  }
  void Finish() { std::fputc('\n', out_); }

 private:
  void Open(std::string_view key, char bracket) {
    Key(key);
    std::fputc(bracket, out_);
    first_.push_back(true);
  }
  void Close(char bracket) {
    bool empty = first_.back();
    first_.pop_back();
    if (!empty) Newline();
    std::fputc(bracket, out_);
  }
  // Starts a member: the comma, the line break and, inside objects, the key.
  void Key(std::string_view key) {
    if (!first_.empty()) {
      if (!first_.back()) std::fputc(',', out_);
      first_.back() = false;
      Newline();
    }
    if (!key.empty()) {
      Quoted(key);
      std::fputs(": ", out_);
    }
  }
  void Newline() {
    std::fputc('\n', out_);
    for (std::size_t i = 0; i < first_.size(); ++i) std::fputs("  ", out_);
  }
  void Quoted(std::string_view text) {
    std::fputc('"', out_);
    for (char raw : text) {
      auto c = static_cast<unsigned char>(raw);
      switch (c) {
        case '"': std::fputs("\\\"", out_); break;
        case '\\': std::fputs("\\\\", out_); break;
        case '\n': std::fputs("\\n", out_); break;
        case '\r': std::fputs("\\r", out_); break;
        case '\t': std::fputs("\\t", out_); break;
        default:
          if (c < 0x20) std::fprintf(out_, "\\u%04x", c);
          else std::fputc(c, out_);
      }
    }
    std::fputc('"', out_);
  }

  std::FILE* out_;
  std::vector<bool> first_;
};

}  // namespace kova::cli
