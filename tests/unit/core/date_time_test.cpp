// Calendar values (weekday and serial computed from the date, validity) and
// the date and time format tokens.
#include "core/date_time.h"

#include <gtest/gtest.h>

namespace kova::core {
namespace {

struct WeekdayCase {
  i32 year;
  i32 month;
  i32 day;
  i32 weekday;  // 1 = Sunday
};

TEST(DateTime, WeekdayComesFromTheDate) {
  const WeekdayCase cases[] = {
      {1970, 1, 1, 5},   {2000, 2, 29, 3}, {2026, 12, 5, 7}, {1999, 12, 31, 6},
      {1900, 1, 1, 2},   {2024, 3, 10, 1}, {1995, 8, 24, 5}, {1601, 1, 1, 2},
  };
  for (const WeekdayCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << '-' << c.month << '-' << c.day);
    const DateTime value = MakeDateTime(c.year, c.month, c.day);
    EXPECT_EQ(value.weekday, c.weekday);
    EXPECT_TRUE(IsValid(value));
  }
}

TEST(DateTime, SerialCountsDays) {
  EXPECT_EQ(MakeDateTime(2001, 1, 1).daySerial - MakeDateTime(2000, 1, 1).daySerial, 366);
  EXPECT_EQ(MakeDateTime(2000, 1, 1).daySerial - MakeDateTime(1900, 1, 1).daySerial, 36524);
  EXPECT_EQ(MakeDateTime(2024, 3, 1).daySerial - MakeDateTime(2024, 2, 28).daySerial, 2);
  EXPECT_EQ(MakeDateTime(2023, 3, 1).daySerial - MakeDateTime(2023, 2, 28).daySerial, 1);
  EXPECT_EQ(MakeDateTime(2027, 1, 1).daySerial - MakeDateTime(2026, 12, 31).daySerial, 1);
}

TEST(DateTime, DaysInMonth) {
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 12), 31);
  EXPECT_EQ(DaysInMonth(2023, 0), 0);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

TEST(DateTime, Validity) {
  EXPECT_TRUE(IsValid(MakeDateTime(2024, 2, 29)));
  EXPECT_FALSE(IsValid(MakeDateTime(2023, 2, 29)));
  EXPECT_FALSE(IsValid(MakeDateTime(2023, 4, 31)));
  EXPECT_FALSE(IsValid(MakeDateTime(2023, 1, 0)));
  EXPECT_FALSE(IsValid(MakeDateTime(2023, 0, 1)));
  EXPECT_FALSE(IsValid(MakeDateTime(2023, 13, 1)));
  EXPECT_FALSE(IsValid(DateTime{}));
  DateTime value = MakeDateTime(2023, 5, 5);
  value.weekday = 0;
  EXPECT_FALSE(IsValid(value));
  value.weekday = 8;
  EXPECT_FALSE(IsValid(value));
}

TEST(DateTime, NameTables) {
  EXPECT_STREQ(MonthName(1), "January");
  EXPECT_STREQ(MonthName(12), "December");
  EXPECT_STREQ(MonthName(0), "");
  EXPECT_STREQ(MonthName(13), "");
  EXPECT_STREQ(WeekdayName(1), "Sunday");
  EXPECT_STREQ(WeekdayName(7), "Saturday");
  EXPECT_STREQ(WeekdayName(0), "");
  EXPECT_STREQ(WeekdayName(8), "");
}

struct FormatCase {
  const char* format;
  const char* text;
};

TEST(FormatDateTime, Tokens) {
  // Saturday, 5 December 2026, 06:02:33.
  const DateTime value = MakeDateTime(2026, 12, 5, 6, 2, 33);
  const FormatCase cases[] = {
      {kLogDateFormat, "5-Dec-2026 6:02:33a"},
      {"m/d/yy HH:ii:ss", "12/5/2026 06:02:33"},
      {"dd.mm.y", "05.12.26"},
      {"D MM yy", "5th December 2026"},
      {"DD", "fifth"},
      {"M MM", "Dec December"},
      {"W WW w ww", "Sat Saturday 7 07"},
      {"Y", "twenty-six"},
      {"YY", "two thousand twenty-six"},
      {"h hh H HH i ii s ss", "6 06 6 06 2 02 33 33"},
      {"ap AP", "a a.m."},
      {"ddd", "055"},  // the doubled form first
      {"mmm", "1212"},
      {"hhh", "066"},
      {"a A Ap aP x", "a A Ap aP x"},  // lone a and A are copied
      {"-/:, .;%", "-/:, .;%"},         // characters that are no token
      {"%s %d", "%33 %5"},              // printf-like text is not interpreted
      {nullptr, "12/5/26 6:02:33a"},
      {"", "12/5/26 6:02:33a"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.format ? c.format : "(null)");
    EXPECT_EQ(FormatDateTime(value, c.format), c.text);
  }
}

TEST(FormatDateTime, YearWords) {
  EXPECT_EQ(FormatDateTime(MakeDateTime(2005, 1, 1), "Y"), "Oh five");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2000, 1, 1), "Y"), "Oh zero");
  EXPECT_EQ(FormatDateTime(MakeDateTime(1999, 1, 1), "Y | YY"),
            "ninety-nine | one thousand nine hundred ninety-nine");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2010, 1, 1), "Y"), "ten");
}

TEST(FormatDateTime, DayWordsAndSuffixes) {
  EXPECT_EQ(FormatDateTime(MakeDateTime(2026, 1, 22), "D DD"), "22nd twenty-second");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2026, 1, 11), "D DD"), "11th eleventh");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2026, 1, 31), "D DD"), "31st thirty-first");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2026, 1, 3), "D DD"), "3rd third");
}

struct HourCase {
  i32 hour;
  const char* text;  // "h hh H HH ap AP"
};

TEST(FormatDateTime, TwelveAndTwentyFourHourClock) {
  const HourCase cases[] = {
      {0, "12 12 0 00 a a.m."},  {1, "1 01 1 01 a a.m."},   {11, "11 11 11 11 a a.m."},
      {12, "12 12 12 12 p p.m."}, {13, "1 01 13 13 p p.m."}, {23, "11 11 23 23 p p.m."},
  };
  for (const HourCase& c : cases) {
    SCOPED_TRACE(c.hour);
    EXPECT_EQ(FormatDateTime(MakeDateTime(2026, 12, 5, c.hour, 0, 0), "h hh H HH ap AP"), c.text);
  }
}

TEST(FormatDateTime, YearPadding) {
  EXPECT_EQ(FormatDateTime(MakeDateTime(2005, 1, 1), "y yy"), "05 2005");
  EXPECT_EQ(FormatDateTime(MakeDateTime(987, 1, 1), "y yy"), "87 0987");
}

TEST(FormatDateTime, MonthOutsideTableGivesEmptyNames) {
  DateTime value = MakeDateTime(2026, 12, 5);
  value.month = 13;
  value.weekday = 9;
  EXPECT_EQ(FormatDateTime(value, "[M|MM|W|WW|m]"), "[||||13]");
}

TEST(FormatDate, OnlyDateTokens) {
  const DateTime value = MakeDateTime(2026, 12, 5, 18, 7, 9);
  EXPECT_EQ(FormatDate(value, "d/m/y h:ii:ss ap H"), "5/12/26 h:ii:ss ap H");
  EXPECT_EQ(FormatDate(value, "dd MM yy, WW"), "05 December 2026, Saturday");
  EXPECT_EQ(FormatDate(value, nullptr), "12/5/26");
  EXPECT_EQ(FormatDate(value, ""), "12/5/26");
}

TEST(FormatTime, DefaultAndTokens) {
  const DateTime value = MakeDateTime(2026, 12, 5, 18, 7, 9);
  EXPECT_EQ(FormatTime(value, nullptr), "6:07:09p");
  EXPECT_EQ(FormatTime(value, "HH:ii:ss"), "18:07:09");
}

}  // namespace
}  // namespace kova::core
