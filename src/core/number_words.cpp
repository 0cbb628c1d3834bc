// Integers in English words, for the spelled-out date tokens (the day as an
// ordinal word, the year in words). The wording is plain American style:
// lower case, tens joined to units by a hyphen, no "and":
// 1999 is "one thousand nine hundred ninety-nine", 22 as an ordinal is
// "twenty-second".
#include <cstring>

#include "core/format.h"

namespace kova::core {
namespace {

constexpr const char* kUnits[20] = {
    "zero",    "one",     "two",       "three",    "four",     "five",    "six",
    "seven",   "eight",   "nine",      "ten",      "eleven",   "twelve",  "thirteen",
    "fourteen", "fifteen", "sixteen",  "seventeen", "eighteen", "nineteen"};

constexpr const char* kTens[10] = {"",      "",      "twenty",  "thirty", "forty",
                                   "fifty", "sixty", "seventy", "eighty", "ninety"};

// Enough scales for the whole 64-bit range (up to about 9.2 quintillion).
constexpr const char* kScales[7] = {"",         "thousand",    "million",    "billion",
                                    "trillion", "quadrillion", "quintillion"};

// n from 1 to 999.
void AppendGroup(String& out, u32 n) {
  if (n >= 100) {
    out += kUnits[n / 100];
    out += " hundred";
    n %= 100;
    if (n != 0) out += ' ';
  }
  if (n >= 20) {
    out += kTens[n / 10];
    if (n % 10 != 0) {
      out += '-';
      out += kUnits[n % 10];
    }
  } else if (n != 0) {
    out += kUnits[n];
  }
}

struct Irregular {
  const char* cardinal;
  const char* ordinal;
};

constexpr Irregular kIrregularOrdinals[] = {
    {"one", "first"}, {"two", "second"}, {"three", "third"},    {"five", "fifth"},
    {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"},
};

}  // namespace

String NumberWords(i64 value) {
  if (value == 0) return String(kUnits[0]);
  String out;
  u64 magnitude = static_cast<u64>(value);
  if (value < 0) {
    out = "minus ";
    magnitude = 0 - magnitude;
  }
  u32 groups[7];
  int count = 0;
  while (magnitude != 0) {
    groups[count++] = static_cast<u32>(magnitude % 1000);
    magnitude /= 1000;
  }
  bool first = true;
  for (int g = count - 1; g >= 0; --g) {
    if (groups[g] == 0) continue;
    if (!first) out += ' ';
    first = false;
    AppendGroup(out, groups[g]);
    if (g > 0) {
      out += ' ';
      out += kScales[g];
    }
  }
  return out;
}

String OrdinalWords(i64 value) {
  String words = NumberWords(value);
  // Only the last word changes: "twenty-one" -> "twenty-first".
  i32 lastWord = words.Length();
  while (lastWord > 0 && words[lastWord - 1] != ' ' && words[lastWord - 1] != '-') --lastWord;
  const char* last = words.CStr() + lastWord;
  for (const Irregular& irregular : kIrregularOrdinals) {
    if (std::strcmp(last, irregular.cardinal) == 0) {
      words.SetLength(lastWord);
      words += irregular.ordinal;
      return words;
    }
  }
  if (words[words.Length() - 1] == 'y') {
    words.SetLength(words.Length() - 1);
    words += "ieth";
  } else {
    words += "th";
  }
  return words;
}

}  // namespace kova::core
