// Code page 1252 and line breaks; see ansi_text.h.
#include "builder/ansi_text.h"

#include <cstdio>

namespace kova::builder {
namespace {

// The characters of 0x80..0x9F in code page 1252. The five unassigned bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as
// Windows itself does.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool ToAnsiByte(char32_t c, unsigned char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    byte = static_cast<unsigned char>(c);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) {
      byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is
// malformed (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool Utf8ToAnsi(std::string_view utf8, std::string& ansi, std::string& error) {
  ansi.clear();
  ansi.reserve(utf8.size());
  std::size_t i = 0;
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < utf8.size()) {
    char32_t c;
    std::size_t length = DecodeUtf8(utf8, i, c);
    if (length == 0) {
      char buffer[96];
      std::snprintf(buffer, sizeof buffer, "byte 0x%02X at offset %zu is not valid UTF-8",
                    static_cast<unsigned char>(utf8[i]), i);
      error = buffer;
      return false;
    }
    unsigned char byte;
    if (!ToAnsiByte(c, byte)) {
      char buffer[128];
      std::snprintf(buffer, sizeof buffer, "the character U+%04X has no place in the ANSI code page 1252",
                    static_cast<unsigned>(c));
      error = buffer;
      return false;
    }
    ansi += static_cast<char>(byte);
    i += length;
  }
  return true;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char raw : ansi) {
    auto byte = static_cast<unsigned char>(raw);
    if (byte >= 0x80 && byte < 0xA0) {
      AppendUtf8(out, kHighControls[byte - 0x80]);
    } else {
      AppendUtf8(out, byte);
    }
  }
  return out;
}

std::string ToCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kova::builder
