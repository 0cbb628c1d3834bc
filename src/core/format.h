// Number and size texts shown in questions, the log and error messages.
#pragma once

#include "core/string.h"

namespace kova::core {

// "1023 bytes", "1.00 KB", "2.50 MB", "1.00 GB", "3.00 TB".
String SizeText(i64 bytes);
// Decimal digits with a comma every three digits from the right, only when the
// number has more than four digits: 1234, 12,345, -12,345.
String GroupedNumber(i64 value);
// Plain decimal integer.
String IntegerText(i64 value);
// precision >= 0: that many decimals; negative: six decimals, trailing zeros
// (and a bare decimal point) removed.
String DecimalText(double value, int precision);
// 1st, 2nd, 3rd, 4th ... 11th, 12th, 13th ... 21st.
String OrdinalText(i32 n);
// English words for an integer: "one thousand nine hundred ninety-nine".
String NumberWords(i64 value);
// English ordinal words for an integer: "first", "twenty-second".
String OrdinalWords(i64 value);

}  // namespace kova::core
