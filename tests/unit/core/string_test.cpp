// String storage (the resizing rule, copies of text that lives in the same
// buffer) and the operations that take text apart: trimming, separators,
// quoted runs, lines and leading numbers.
#include "core/string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace kova::core {
namespace {

// A string whose buffer has exactly the given capacity (the slack is 25).
String WithCapacity(i32 capacity) {
  String text;
  text.SetLength(capacity - 25);
  EXPECT_EQ(text.Capacity(), capacity);
  return text;
}

TEST(StringStorage, EmptyHoldsNoBuffer) {
  String text;
  EXPECT_EQ(text.Data(), nullptr);
  EXPECT_EQ(text.Length(), 0);
  EXPECT_EQ(text.Capacity(), 0);
  EXPECT_STREQ(text.CStr(), "");
  EXPECT_EQ(String("").Data(), nullptr);
  EXPECT_EQ(String(nullptr).Data(), nullptr);
}

TEST(StringStorage, ConstructionAddsSlack) {
  String text("abc");
  EXPECT_EQ(text.Length(), 3);
  EXPECT_EQ(text.Capacity(), 28);
  EXPECT_EQ(text.CStr()[3], '\0');
}

struct ResizeCase {
  i32 length;
  i32 capacity;     // afterwards
  bool sameBuffer;  // the buffer was kept
};

TEST(StringStorage, ResizeFromCapacity1000) {
  const ResizeCase cases[] = {
      {600, 1000, true},    // shrinking by less than 512 keeps the buffer
      {488, 1000, true},    // exactly 512 below the capacity still keeps it
      {487, 512, false},    // one more and the buffer is reallocated
      {400, 425, false},    // reallocated with 25 characters of slack
      {975, 1000, true},    // the same length: nothing happens
      {999, 1000, true},    // growing below the capacity only moves the length
      {1000, 1025, false},  // reaching the capacity reallocates
      {0, 0, false},        // empty: the buffer is freed
  };
  for (const ResizeCase& c : cases) {
    SCOPED_TRACE(c.length);
    String text = WithCapacity(1000);
    std::memset(text.Data(), 'x', 975);
    const char* before = text.Data();
    text.SetLength(c.length);
    EXPECT_EQ(text.Length(), c.length);
    EXPECT_EQ(text.Capacity(), c.capacity);
    if (c.sameBuffer) {
      EXPECT_EQ(text.Data(), before);
    }
    if (c.length == 0) {
      EXPECT_EQ(text.Data(), nullptr);
      continue;
    }
    EXPECT_EQ(text.Data()[c.length], '\0');
    // The kept part of the text survives a reallocation.
    const i32 kept = c.length < 975 ? c.length : 975;
    for (i32 i = 0; i < kept; ++i) ASSERT_EQ(text[i], 'x') << i;
  }
}

TEST(StringStorage, AppendBelowCapacityKeepsBuffer) {
  String text("abc");
  const char* before = text.Data();
  for (int i = 0; i < 24; ++i) text += 'd';
  EXPECT_EQ(text.Data(), before);
  EXPECT_EQ(text.Length(), 27);
  text += 'e';
  EXPECT_EQ(text.Capacity(), 53);
  EXPECT_EQ(std::string(text.CStr()), "abc" + std::string(24, 'd') + "e");
}

TEST(StringStorage, AccessOutsideTextIsNul) {
  String text("ab");
  EXPECT_EQ(text[-1], '\0');
  EXPECT_EQ(text[2], '\0');
  EXPECT_EQ(text[1000], '\0');
  EXPECT_EQ(String()[0], '\0');
}

TEST(StringStorage, OwnTextAsSource) {
  String text("abc");
  text.Append(text);
  EXPECT_EQ(text, "abcabc");
  text.Insert(1, text.CStr() + 3, 3);
  EXPECT_EQ(text, "aabcbcabc");
  text = text.CStr() + 2;
  EXPECT_EQ(text, "bcbcabc");
}

TEST(StringStorage, CopiesAreDeep) {
  String a("text");
  String b(a);
  b.SetAt(0, 'n');
  EXPECT_EQ(a, "text");
  EXPECT_EQ(b, "next");
}

TEST(StringStorageDeathTest, LengthLimitIsInternalError) {
  String text("a");
  EXPECT_DEATH(text.SetLength(kMaxStringLength + 1), "Internal Fatal Error");
  EXPECT_DEATH(text.SetAt(1, 'x'), "Internal Fatal Error");
}

struct TrimCase {
  const char* text;
  const char* set;  // null: the default blanks
  const char* left;
  const char* right;
};

TEST(StringTrim, LeftAndRight) {
  const TrimCase cases[] = {
      {" \t\r\nabc \r\n\t", nullptr, "abc \r\n\t", " \t\r\nabc"},
      {"abc", nullptr, "abc", "abc"},
      {"", nullptr, "", ""},
      {" \r\n\t ", nullptr, "", ""},
      {"--a-b--", "-", "a-b--", "--a-b"},
      {"xyaxy", "yx", "axy", "xya"},
      {"\vabc\v", nullptr, "\vabc\v", "\vabc\v"},  // only space, CR, LF and TAB by default
  };
  for (const TrimCase& c : cases) {
    SCOPED_TRACE(c.text);
    String left(c.text);
    left.TrimLeft(c.set);
    EXPECT_EQ(left, c.left);
    String right(c.text);
    right.TrimRight(c.set);
    EXPECT_EQ(right, c.right);
  }
}

TEST(StringTrim, AllRemovedLeavesNoBuffer) {
  String text("   ");
  text.Trim();
  EXPECT_EQ(text.Data(), nullptr);
}

TEST(StringTrim, EmbeddedNulIsNotInTheSet) {
  String text("\0a", 2);
  text.TrimLeft();
  EXPECT_EQ(text.Length(), 2);
}

struct RemoveAllCase {
  const char* text;
  i32 position;
  i32 count;
  const char* expected;
};

TEST(StringRemoveAll, DropsOnlyInsideTheRange) {
  const RemoveAllCase cases[] = {
      {"1,234,567", 0, kMaxStringLength, "1234567"},
      {"1,234,567", 2, kMaxStringLength, "1,234567"},
      {"1,234,567", 0, 2, "1234,567"},
      {",,,", 0, kMaxStringLength, ""},
      {"a,b", -5, 7, "ab"},
      {"a,b", 3, 5, "a,b"},
      {"a,b", 0, 0, "a,b"},
      {"", 0, 10, ""},
  };
  for (const RemoveAllCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " at " << c.position << " count " << c.count);
    String text(c.text);
    text.RemoveAll(',', c.position, c.count);
    EXPECT_EQ(text, c.expected);
  }
}

struct QuotedCase {
  const char* text;
  i32 position;
  const char* taken;
  const char* rest;
};

TEST(StringTakeQuoted, TakesRunWithBothQuotes) {
  const QuotedCase cases[] = {
      {"\"abc\" rest", 0, "abc", " rest"},
      {"\"a\"\"b\"x", 0, "a\"b", "x"},              // a doubled quote stands for one
      {"\"\"\"a\"", 0, "\"a", ""},
      {"\"\"", 0, "", ""},
      {"\"\" x\"", 0, "", " x\""},
      {"x\"abc\"y", 1, "abc", "xy"},
      {"\"C:\\f.dll \";\"b\"", 0, "C:\\f.dll ", ";\"b\""},  // the shared-file list form
      {"\"unclosed", 0, "unclosed", ""},             // an open run reaches the end
      {"\"ends in doubled\"\"", 0, "ends in doubled\"", ""},
      {"abc", 0, "", "abc"},                          // no quote: nothing changes
      {"\"abc\"", 5, "", "\"abc\""},
      {"\"abc\"", -1, "", "\"abc\""},
      {"", 0, "", ""},
  };
  for (const QuotedCase& c : cases) {
    SCOPED_TRACE(c.text);
    String text(c.text);
    EXPECT_EQ(text.TakeQuoted(c.position), c.taken);
    EXPECT_EQ(text, c.rest);
  }
}

struct LineCase {
  String text;
  String line;
  String lineWithBreak;
  String rest;
};

TEST(StringTakeLine, OneBreakOfEachKind) {
  const LineCase cases[] = {
      {"a\r\nb", "a", "a\r\n", "b"},
      {"a\n\rb", "a", "a\n\r", "b"},
      {"a\nb", "a", "a\n", "b"},
      {"a\rb", "a", "a\r", "b"},
      {"a\n\nb", "a", "a\n", "\nb"},  // two LFs are two breaks
      {"a\r\rb", "a", "a\r", "\rb"},
      {"a\r\n\r\nb", "a", "a\r\n", "\r\nb"},
      {String("a\0b", 3), "a", String("a\0", 2), "b"},
      {"\r\nb", "", "\r\n", "b"},
      {"a\r", "a", "a\r", ""},
      {"abc", "abc", "abc", ""},  // no break: the whole text
      {"", "", "", ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text.CStr(), static_cast<size_t>(c.text.Length()))));
    String without(c.text);
    String line = without.TakeLine();
    EXPECT_EQ(line.Length(), c.line.Length());
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(without, c.rest);

    String with(c.text);
    String full = with.TakeLineWithBreak();
    EXPECT_EQ(full.Length(), c.lineWithBreak.Length());
    EXPECT_EQ(std::string(full.CStr(), static_cast<size_t>(full.Length())),
              std::string(c.lineWithBreak.CStr(), static_cast<size_t>(c.lineWithBreak.Length())));
    EXPECT_EQ(with, c.rest);
  }
}

TEST(StringTakeLine, ReadsAWholeBufferLineByLine) {
  String buffer("first\r\nsecond\n\nfourth");
  const char* expected[] = {"first", "second", "", "fourth"};
  for (const char* line : expected) {
    ASSERT_FALSE(buffer.IsEmpty());
    EXPECT_EQ(buffer.TakeLine(), line);
  }
  EXPECT_TRUE(buffer.IsEmpty());
  EXPECT_EQ(buffer.Data(), nullptr);
}

struct NumberCase {
  const char* text;
  i64 value;
};

TEST(StringToNumber, LeadingNumberOfText) {
  const NumberCase cases[] = {
      {"1234", 1234},
      {"Size: 1,234,567 bytes", 1234567},
      {"-12,345", -12345},
      {"x+7y", 7},
      {"~12 message", 12},
      {"2.10.3", 2},  // stops at the dot
      {".5", 0},
      {"- 5", 0},
      {"-,5", -5},  // commas are dropped from the sign on
      {"", 0},
      {"none", 0},
      {"9,223,372,036,854,775,807", INT64_MAX},
      {"99999999999999999999", INT64_MAX},  // saturates
      {"-9223372036854775808", INT64_MIN},
      {"-99999999999999999999", INT64_MIN},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(String(c.text).ToNumber(), c.value);
  }
}

}  // namespace
}  // namespace kova::core
