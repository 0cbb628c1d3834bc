// Formatting untrusted message texts; see message_format.h.
#include "payload/message_format.h"

#include <cstring>

namespace kova::payload {
namespace {

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

core::String FormatMessageText(const char* format, std::initializer_list<MessageArg> args) {
  core::String out;
  if (!format) return out;
  const MessageArg* next = args.begin();
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      const char* percent = std::strchr(p, '%');
      i32 n = percent ? static_cast<i32>(percent - p) : static_cast<i32>(std::strlen(p));
      out.Append(p, n);
      p += n;
      continue;
    }
    if (p[1] == '%') {
      out += '%';
      p += 2;
      continue;
    }
    // A conversion: flags, width and precision of at most three digits each
    // (no '*': its argument would come from nowhere), then the letter.
    const char* q = p + 1;
    while (IsFlag(*q)) ++q;
    for (int i = 0; i < 3 && IsDigit(*q); ++i) ++q;
    if (*q == '.') {
      ++q;
      for (int i = 0; i < 3 && IsDigit(*q); ++i) ++q;
    }
    char conversion = *q;
    bool wantsText = conversion == 's';
    bool wantsInteger = conversion == 'd' || conversion == 'i' || conversion == 'u' || conversion == 'x' ||
                        conversion == 'X' || conversion == 'c';
    if ((!wantsText && !wantsInteger) || next == args.end() || next->isText != wantsText) {
      out += *p++;  // copied as it stands, from the '%' on
      continue;
    }
    char spec[16];
    std::size_t length = static_cast<std::size_t>(q - p + 1);
    std::memcpy(spec, p, length);
    spec[length] = '\0';
    // The conversion text was checked above: one conversion of the argument's kind.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (wantsText)
      out.AppendFormat(spec, next->text);
    else
      out.AppendFormat(spec, next->integer);
#pragma GCC diagnostic pop
    ++next;
    p = q + 1;
  }
  return out;
}

}  // namespace kova::payload
