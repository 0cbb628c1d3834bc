// Calendar dates and their texts. The installation log stamps each section
// with a date and InstallDate is written as text, so the tokens of the format
// strings are fixed: doubled tokens are tried first ("dd" before "d"), every
// character that is no token is copied unchanged.
#include <cstdint>
#include <cstring>

#include "core/date_time.h"
#include "core/format.h"

namespace kova::core {
namespace {

constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kWeekdayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};


// "%0*d": at least width characters, the sign counted, zeros after it.
void AppendPadded(String& out, i32 value, int width) {
  String digits = IntegerText(value < 0 ? -static_cast<i64>(value) : value);
  int length = digits.Length() + (value < 0 ? 1 : 0);
  if (value < 0) out += '-';
  for (; length < width; ++length) out += '0';
  out += digits;
}

void AppendNumber(String& out, i32 value, bool doubled) { AppendPadded(out, value, doubled ? 2 : 1); }

void AppendAbbreviation(String& out, const char* name) {
  out.Append(name, static_cast<i32>(std::strlen(name) < 3 ? std::strlen(name) : 3));
}

i32 TwelveHour(i32 hour) {
  if (hour == 0) return 12;
  return hour > 12 ? hour - 12 : hour;
}

String FormatTokens(const DateTime& value, const char* format, bool timeTokens) {
  String out;
  for (const char* p = format; *p != '\0';) {
    const char c = *p;
    const bool doubled = p[1] == c;
    bool token = true;
    switch (c) {
      case 'd':
        AppendNumber(out, value.day, doubled);
        break;
      case 'D':
        out += doubled ? OrdinalWords(value.day) : OrdinalText(value.day);
        break;
      case 'm':
        AppendNumber(out, value.month, doubled);
        break;
      case 'M':
        if (doubled) {
          out += MonthName(value.month);
        } else {
          AppendAbbreviation(out, MonthName(value.month));
        }
        break;
      case 'y':
        AppendPadded(out, doubled ? value.year : value.year % 100, doubled ? 4 : 2);
        break;
      case 'Y':
        if (doubled) {
          out += NumberWords(value.year);
        } else {
          if (value.year % 100 < 10) out += "Oh ";
          out += NumberWords(value.year % 100);
        }
        break;
      case 'w':
        AppendNumber(out, value.weekday, doubled);
        break;
      case 'W':
        if (doubled) {
          out += WeekdayName(value.weekday);
        } else {
          AppendAbbreviation(out, WeekdayName(value.weekday));
        }
        break;
      default:
        token = false;
        break;
    }
    if (!token && timeTokens) {
      token = true;
      switch (c) {
        case 'h':
          AppendNumber(out, TwelveHour(value.hour), doubled);
          break;
        case 'H':
          AppendNumber(out, value.hour, doubled);
          break;
        case 'i':
          AppendNumber(out, value.minute, doubled);
          break;
        case 's':
          AppendNumber(out, value.second, doubled);
          break;
        case 'a':
        case 'A':
          // Only "ap" and "AP" are tokens; a lone letter is copied below.
          if (p[1] != (c == 'a' ? 'p' : 'P')) {
            token = false;
            break;
          }
          if (c == 'a') {
            out += value.hour < 12 ? "a" : "p";
          } else {
            out += value.hour < 12 ? "a.m." : "p.m.";
          }
          p += 2;
          continue;
        default:
          token = false;
          break;
      }
    }
    if (!token) {
      out += c;
      ++p;
      continue;
    }
    p += doubled ? 2 : 1;
  }
  return out;
}

const char* Chosen(const char* format, const char* fallback) {
  return format && *format ? format : fallback;
}

}  // namespace

i64 DaysFromCivil(i64 year, i32 month, i64 day) {
  year -= month <= 2 ? 1 : 0;
  const i64 era = (year >= 0 ? year : year - 399) / 400;
  const i64 yearOfEra = year - era * 400;
  const i64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const i64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(i64 days, i32* year, i32* month, i32* day) {
  days += 719468;
  const i64 era = (days >= 0 ? days : days - 146096) / 146097;
  const i64 dayOfEra = days - era * 146097;
  const i64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const i64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const i64 shifted = (5 * dayOfYear + 2) / 153;
  *day = static_cast<i32>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  *month = static_cast<i32>(shifted < 10 ? shifted + 3 : shifted - 9);
  *year = static_cast<i32>(yearOfEra + era * 400 + (*month <= 2));
}

bool IsFileTimeRange(const DateTime& t) {
  return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
         t.second >= 0 && t.second < 60;
}

i32 DaysInMonth(i32 year, i32 month) {
  static constexpr i32 kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month != 2) return kDays[month - 1];
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return leap ? 29 : 28;
}

DateTime MakeDateTime(i32 year, i32 month, i32 day, i32 hour, i32 minute, i32 second) {
  DateTime value;
  value.year = year;
  value.month = month;
  value.day = day;
  value.hour = hour;
  value.minute = minute;
  value.second = second;
  // A month outside the calendar has no serial and no weekday, which makes
  // the value invalid.
  if (month < 1 || month > 12) return value;
  const i64 serial = DaysFromCivil(year, month, day);
  // Serials past the 32-bit range (years millions away) are clamped.
  value.daySerial = serial > INT32_MAX ? INT32_MAX : serial < INT32_MIN ? INT32_MIN : static_cast<i32>(serial);
  // 1 January 1970 was a Thursday (weekday 5).
  const i64 sinceSunday = ((serial + 4) % 7 + 7) % 7;
  value.weekday = static_cast<i32>(sinceSunday) + 1;
  return value;
}

bool IsValid(const DateTime& value) {
  if (value.month < 1 || value.month > 12) return false;
  if (value.weekday < 1 || value.weekday > 7) return false;
  return value.day >= 1 && value.day <= DaysInMonth(value.year, value.month);
}

const char* MonthName(i32 month) { return month >= 1 && month <= 12 ? kMonthNames[month - 1] : ""; }

const char* WeekdayName(i32 weekday) { return weekday >= 1 && weekday <= 7 ? kWeekdayNames[weekday - 1] : ""; }

String FormatDateTime(const DateTime& value, const char* format) {
  return FormatTokens(value, Chosen(format, kDefaultDateTimeFormat), true);
}

String FormatDate(const DateTime& value, const char* format) {
  return FormatTokens(value, Chosen(format, kDefaultDateFormat), false);
}

String FormatTime(const DateTime& value, const char* format) {
  return FormatTokens(value, Chosen(format, kDefaultTimeFormat), true);
}

}  // namespace kova::core
