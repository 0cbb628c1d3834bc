// printf-style formatting into a String, and the number texts of questions,
// the log and error messages: byte sizes, grouped and plain integers,
// fractions and ordinal suffixes.
//
// The stub formats with the C runtime of old Windows (msvcrt), whose
// _vsnprintf differs from C99 vsnprintf: on overflow it returns -1, or exactly
// the buffer size without a terminator, and it does not know "%lld".
// Formatting therefore terminates the buffer itself and never trusts the
// returned count beyond the buffer, and 64-bit integers are turned into digits
// here rather than by the runtime.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/format.h"
#include "core/memory.h"
#include "core/string.h"

namespace kova::core {
namespace {

// One call produces at most kFormatBufferSize - 1 characters; the rest is cut.
constexpr i32 kFormatBufferSize = 32768;
// Most texts fit here; only longer ones are formatted again on the heap.
constexpr i32 kShortText = 1024;

// Formats into buffer (size bytes) and sets *length to the length of the
// text left there; true when the whole text fit.
bool FormatToBuffer(char* buffer, i32 size, const char* format, std::va_list args, i32* length) {
  buffer[0] = '\0';
  // The format comes from the caller: Format and AppendFormat have it checked
  // at their call sites, and message texts are formats by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#if defined(_WIN32)
  // msvcrt's own formatter. MinGW maps vsnprintf to its C99 replacement,
  // which would link a second printf implementation (about 29 KB) into the
  // stub.
  const int written = _vsnprintf(buffer, static_cast<std::size_t>(size), format, args);
#else
  const int written = std::vsnprintf(buffer, static_cast<std::size_t>(size), format, args);
#endif
#pragma GCC diagnostic pop
  buffer[size - 1] = '\0';
  if (written >= 0 && written < size) {
    *length = written;
    return true;
  }
  // Cut (C99: the full length returned; msvcrt: -1 or exactly the buffer
  // size, perhaps without a terminator) or an encoding error: keep what is
  // in the buffer up to its first NUL.
  const void* end = std::memchr(buffer, '\0', static_cast<std::size_t>(size));
  *length = static_cast<i32>(static_cast<const char*>(end) - buffer);
  return false;
}

// The text of one formatting call, in a buffer of its own, so that the
// arguments may point into the string it goes to. A long text is formatted
// again into a buffer from the heap rather than on the stack: the stub does
// not probe its stack, so no frame of it may be near a page in size.
class FormattedText {
 public:
  FormattedText(const char* format, std::va_list args) {
    std::va_list again;
    va_copy(again, args);
    if (!FormatToBuffer(short_, kShortText, format, args, &length_)) {
      long_ = static_cast<char*>(Allocate(kFormatBufferSize));
      FormatToBuffer(long_, kFormatBufferSize, format, again, &length_);
    }
    va_end(again);
  }
  ~FormattedText() { Release(long_); }
  FormattedText(const FormattedText&) = delete;
  FormattedText& operator=(const FormattedText&) = delete;

  const char* Data() const { return long_ ? long_ : short_; }
  i32 Length() const { return length_; }

 private:
  char short_[kShortText];
  char* long_ = nullptr;
  i32 length_ = 0;
};

// Decimal digits of a magnitude, most significant first; returns their count.
int Digits(u64 magnitude, char (&digits)[20]) {
  char reversed[20];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (int i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  return n;
}

// The most digits a fraction can usefully ask for: anything beyond is cut by
// the formatting buffer anyway, and very large precisions make some runtimes
// allocate work space of that size.
constexpr int kMaxPrecision = kFormatBufferSize;

}  // namespace

String& String::FormatV(const char* format, std::va_list args) {
  if (!format) {
    Clear();
    return *this;
  }
  FormattedText text(format, args);
  Assign(text.Data(), text.Length());
  return *this;
}

String& String::AppendFormatV(const char* format, std::va_list args) {
  if (!format) return *this;
  FormattedText text(format, args);
  return Append(text.Data(), text.Length());
}

String& String::Format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
  return *this;
}

String& String::AppendFormat(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  AppendFormatV(format, args);
  va_end(args);
  return *this;
}

String Formatted(const char* format, ...) {
  String text;
  std::va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  return text;
}

String IntegerText(i64 value) {
  char digits[20];
  const int n = Digits(Magnitude(value), digits);
  char text[21];
  int length = 0;
  if (value < 0) text[length++] = '-';
  std::memcpy(text + length, digits, static_cast<std::size_t>(n));
  return String(text, length + n);
}

String GroupedNumber(i64 value) {
  char digits[20];
  const int n = Digits(Magnitude(value), digits);
  char text[32];  // sign, 20 digits, 6 commas
  int length = 0;
  if (value < 0) text[length++] = '-';
  for (int i = 0; i < n; ++i) {
    // Short numbers such as years and small counts stay without separators.
    if (n > 4 && i > 0 && (n - i) % 3 == 0) text[length++] = ',';
    text[length++] = digits[i];
  }
  return String(text, length);
}

String SizeText(i64 bytes) {
  constexpr i64 kKilo = 1024;
  constexpr i64 kMega = kKilo * 1024;
  constexpr i64 kGiga = kMega * 1024;
  constexpr i64 kTera = kGiga * 1024;
  const double value = static_cast<double>(bytes);
  if (bytes < kKilo) return IntegerText(bytes) + " bytes";
  if (bytes < kMega) return Formatted("%.2f KB", value / static_cast<double>(kKilo));
  if (bytes < kGiga) return Formatted("%.2f MB", value / static_cast<double>(kMega));
  if (bytes < kTera) return Formatted("%.2f GB", value / static_cast<double>(kGiga));
  return Formatted("%.2f TB", value / static_cast<double>(kTera));
}

String DecimalText(double value, int precision) {
  if (precision >= 0) {
    if (precision > kMaxPrecision) precision = kMaxPrecision;
    return Formatted("%.*f", precision, value);
  }
  String text = Formatted("%.6f", value);
  // Drop trailing zeros, and the point when nothing follows it. Only a plain
  // run of decimals is touched, not the runtime's texts for infinities.
  const char* point = std::strchr(text.CStr(), '.');
  if (!point) return text;
  const i32 pointAt = static_cast<i32>(point - text.CStr());
  for (i32 i = pointAt + 1; i < text.Length(); ++i)
    if (text[i] < '0' || text[i] > '9') return text;
  i32 end = text.Length();
  while (end > pointAt + 1 && text[end - 1] == '0') --end;
  if (end == pointAt + 1) end = pointAt;
  text.SetLength(end);
  return text;
}

String OrdinalText(i32 n) {
  const char* suffix = "th";
  if (n < 4 || n > 20) {
    switch (n % 10) {
      case 1:
        suffix = "st";
        break;
      case 2:
        suffix = "nd";
        break;
      case 3:
        suffix = "rd";
        break;
      default:
        break;
    }
  }
  return IntegerText(n) + suffix;
}

}  // namespace kova::core
