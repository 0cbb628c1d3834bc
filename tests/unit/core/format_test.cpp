// printf-style formatting with its buffer bound, and the number texts: sizes,
// grouped and plain integers, fractions, ordinals and numbers in words.
#include "core/format.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <string>

namespace kova::core {
namespace {

constexpr i32 kLongest = 32767;  // one formatting call never produces more
constexpr i32 kShort = 1024;     // a longer text is formatted a second time, on the heap

TEST(StringFormat, ReplacesAndAppends) {
  String text("old");
  text.Format("%s-%d-%c", "a", 42, 'z');
  EXPECT_EQ(text, "a-42-z");
  text.AppendFormat(" %05.1f|%x", 2.5, 255u);
  EXPECT_EQ(text, "a-42-z 002.5|ff");
  EXPECT_EQ(Formatted("%s", ""), "");
  EXPECT_EQ(Formatted("%s", "").Data(), nullptr);
  EXPECT_EQ(Formatted("Error creating registry keys:\r\n%s\r\n\r\n", "Soft\\P"),
            "Error creating registry keys:\r\nSoft\\P\r\n\r\n");
}

TEST(StringFormat, ArgumentsFromTheSameString) {
  String text("abc");
  text.Format("[%s]", text.CStr());
  EXPECT_EQ(text, "[abc]");
  text.AppendFormat("%s", text.CStr());
  EXPECT_EQ(text, "[abc][abc]");
  // The same past the short buffer, formatted twice.
  String both[2] = {String(std::string(kShort, 'x').c_str()), String(std::string(kShort, 'x').c_str())};
  both[0].Format("[%s]", both[0].CStr());
  EXPECT_EQ(std::string(both[0].CStr()), "[" + std::string(kShort, 'x') + "]");
  both[1].AppendFormat("%s|%d", both[1].CStr(), 7);
  EXPECT_EQ(std::string(both[1].CStr()), std::string(2 * kShort, 'x') + "|7");
}

TEST(StringFormat, OutputIsCutAtTheBuffer) {
  const i32 lengths[] = {kShort - 1, kShort, kShort + 1, kLongest - 1, kLongest, kLongest + 1, 40000};
  for (i32 length : lengths) {
    SCOPED_TRACE(length);
    const std::string arg(static_cast<size_t>(length), 'q');
    const i32 expected = length < kLongest ? length : kLongest;

    String text("previous");
    text.Format("%s", arg.c_str());
    ASSERT_EQ(text.Length(), expected);
    EXPECT_EQ(text.CStr()[expected], '\0');
    EXPECT_EQ(std::string(text.CStr()), arg.substr(0, static_cast<size_t>(expected)));

    // Each call is bounded on its own; the string itself may grow further.
    String appended("ab");
    appended.AppendFormat("%s%s", arg.c_str(), "tail");
    const std::string whole = "ab" + (arg + "tail").substr(0, static_cast<size_t>(kLongest));
    ASSERT_EQ(appended.Length(), static_cast<i32>(whole.size()));
    EXPECT_EQ(std::string(appended.CStr()), whole);
  }
}

String& AppendThrough(String& text, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  text.AppendFormatV(format, args);
  va_end(args);
  return text;
}

String& FormatThrough(String& text, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  return text;
}

TEST(StringFormat, NullFormat) {
  String text("abc");
  EXPECT_EQ(AppendThrough(text, nullptr), "abc");
  EXPECT_EQ(FormatThrough(text, nullptr), "");
}

struct SizeCase {
  i64 bytes;
  const char* text;
};

TEST(SizeText, UnitBoundaries) {
  constexpr i64 kTera = i64{1} << 40;
  const SizeCase cases[] = {
      {0, "0 bytes"},
      {1023, "1023 bytes"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1024.00 KB"},
      {1048576, "1.00 MB"},
      {5 * 1048576 / 2, "2.50 MB"},
      {1073741823, "1024.00 MB"},
      {1073741824, "1.00 GB"},
      {i64{3} * 1073741824, "3.00 GB"},  // beyond 32 bits
      {kTera - 1, "1024.00 GB"},
      {kTera, "1.00 TB"},
      {5 * kTera, "5.00 TB"},
      {-5, "-5 bytes"},
      {-(i64{1} << 40), "-1099511627776 bytes"},
  };
  for (const SizeCase& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

struct IntegerCase {
  i64 value;
  const char* grouped;
  const char* plain;
};

TEST(IntegerTexts, GroupedOnlyBeyondFourDigits) {
  const IntegerCase cases[] = {
      {0, "0", "0"},
      {7, "7", "7"},
      {1000, "1000", "1000"},
      {1234, "1234", "1234"},
      {9999, "9999", "9999"},
      {10000, "10,000", "10000"},
      {12345, "12,345", "12345"},
      {123456, "123,456", "123456"},
      {1234567, "1,234,567", "1234567"},
      {-1234, "-1234", "-1234"},
      {-12345, "-12,345", "-12345"},
      {4294967296, "4,294,967,296", "4294967296"},
      {INT64_MAX, "9,223,372,036,854,775,807", "9223372036854775807"},
      {INT64_MIN, "-9,223,372,036,854,775,808", "-9223372036854775808"},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(GroupedNumber(c.value), c.grouped);
    EXPECT_EQ(IntegerText(c.value), c.plain);
  }
}

struct DecimalCase {
  double value;
  int precision;
  const char* text;
};

TEST(DecimalText, FixedOrTrimmed) {
  const DecimalCase cases[] = {
      {1.25, 2, "1.25"},
      {1.25, 4, "1.2500"},
      {2.75, 0, "3"},
      {3.0, -1, "3"},
      {100.0, -1, "100"},  // zeros before the point stay
      {2.5, -1, "2.5"},
      {0.125, -1, "0.125"},
      {-1.25, -1, "-1.25"},
      {1.0000004, -1, "1"},
      {0.1234567, -1, "0.123457"},
  };
  for (const DecimalCase& c : cases) EXPECT_EQ(DecimalText(c.value, c.precision), c.text) << c.value;
}

TEST(DecimalText, HugePrecisionIsBounded) {
  const String text = DecimalText(1.0, 1 << 30);
  EXPECT_LE(text.Length(), kLongest);
  EXPECT_EQ(text.Left(5), "1.000");
}

TEST(OrdinalText, Suffixes) {
  const struct {
    i32 n;
    const char* text;
  } cases[] = {{0, "0th"},   {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {11, "11th"},
               {12, "12th"}, {13, "13th"}, {20, "20th"}, {21, "21st"}, {22, "22nd"}, {23, "23rd"},
               {24, "24th"}, {30, "30th"}, {31, "31st"}, {102, "102nd"}};
  for (const auto& c : cases) EXPECT_EQ(OrdinalText(c.n), c.text) << c.n;
}

TEST(NumberWords, CardinalsAndOrdinals) {
  const struct {
    i64 value;
    const char* cardinal;
    const char* ordinal;
  } cases[] = {
      {0, "zero", "zeroth"},
      {1, "one", "first"},
      {2, "two", "second"},
      {3, "three", "third"},
      {5, "five", "fifth"},
      {9, "nine", "ninth"},
      {12, "twelve", "twelfth"},
      {13, "thirteen", "thirteenth"},
      {20, "twenty", "twentieth"},
      {22, "twenty-two", "twenty-second"},
      {31, "thirty-one", "thirty-first"},
      {100, "one hundred", "one hundredth"},
      {105, "one hundred five", "one hundred fifth"},
      {1999, "one thousand nine hundred ninety-nine", "one thousand nine hundred ninety-ninth"},
      {2026, "two thousand twenty-six", "two thousand twenty-sixth"},
      {1000001, "one million one", "one million first"},
      {-42, "minus forty-two", "minus forty-second"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(NumberWords(c.value), c.cardinal);
    EXPECT_EQ(OrdinalWords(c.value), c.ordinal);
  }
  EXPECT_EQ(NumberWords(INT64_MIN),
            "minus nine quintillion two hundred twenty-three quadrillion three hundred seventy-two trillion "
            "thirty-six billion eight hundred fifty-four million seven hundred seventy-five thousand eight "
            "hundred eight");
}

}  // namespace
}  // namespace kova::core
