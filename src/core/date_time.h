// Dates and times for the installation log, InstallDate and questions.
#pragma once

#include "core/string.h"

namespace kova::core {

struct DateTime {
  i32 daySerial = 0;  // days since a fixed epoch, for date arithmetic
  i32 month = 0;      // 1..12
  i32 day = 0;        // 1..days of the month
  i32 year = 0;       // four digits
  i32 weekday = 0;    // 1 = Sunday .. 7 = Saturday, derived from the date
  i32 hour = 0;       // 0..23
  i32 minute = 0;
  i32 second = 0;
};

// A DateTime for the given calendar date and time; the day serial and the
// weekday are computed from the date.
DateTime MakeDateTime(i32 year, i32 month, i32 day, i32 hour = 0, i32 minute = 0, i32 second = 0);

bool IsValid(const DateTime& value);
i32 DaysInMonth(i32 year, i32 month);

// Days from 1 January 1970 in the proleptic Gregorian calendar, for any day
// number within the month (day 0 or 32 simply run over), and back.
i64 DaysFromCivil(i64 year, i32 month, i64 day);
void CivilFromDays(i64 days, i32* year, i32* month, i32* day);

// Whether a file's stamp can hold the date and time: what
// SystemTimeToFileTime accepts (years 1601 to 30827, a real date, a time of
// day). Anything else is refused on both platforms rather than wrapped.
bool IsFileTimeRange(const DateTime& value);

// "January".."December" and "Sunday".."Saturday"; empty outside the tables.
const char* MonthName(i32 month);
const char* WeekdayName(i32 weekday);

inline constexpr const char* kDefaultDateFormat = "m/d/y";
inline constexpr const char* kDefaultDateTimeFormat = "m/d/y h:ii:ssap";
inline constexpr const char* kDefaultTimeFormat = "h:ii:ssap";
inline constexpr const char* kLogDateFormat = "d-M-yy h:ii:ssap";

// Every date and time token; null or empty format: kDefaultDateTimeFormat.
String FormatDateTime(const DateTime& value, const char* format);
// Date tokens only; null or empty format: kDefaultDateFormat.
String FormatDate(const DateTime& value, const char* format);
// Null or empty format: kDefaultTimeFormat.
String FormatTime(const DateTime& value, const char* format);

}  // namespace kova::core
