// Find, FindBackward and Replace with their option bits, and Replace checked
// against a straightforward reference on seeded random texts.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/string.h"

namespace kova::core {
namespace {

struct FindCase {
  const char* text;
  const char* pattern;
  i32 start;
  u32 options;
  i32 patternLength;
  i32 expected;
};

TEST(StringFind, OptionsAndBounds) {
  constexpr i32 kAll = kWholePattern;
  const FindCase cases[] = {
      {"abcabc", "bc", 0, 0, kAll, 1},
      {"abcabc", "bc", 2, 0, kAll, 4},
      {"abcabc", "bc", -3, 0, kAll, 1},  // a negative start counts from 0
      {"abcabc", "bc", 5, 0, kAll, -1},
      {"abcabc", "bc", 100, 0, kAll, -1},
      {"abc", "bc", 0, 0, kAll, 1},  // the last candidate is length - pattern length
      {"abc", "abcd", 0, 0, kAll, -1},
      {"abc", "", 0, 0, kAll, -1},
      {"", "a", 0, 0, kAll, -1},
      {"abc", "b", 0, 0, 0, -1},  // a pattern length below 1
      {"abc", "b", 0, 0, -1, -1},
      // Pattern length limits the compared part of the pattern.
      {"abcdef", "cdzz", 0, 0, 2, 2},
      {"abcdef", "cd", 0, 0, 40, 2},  // longer than the pattern: the pattern
      // Case.
      {"Hello", "hello", 0, 0, kAll, -1},
      {"Hello", "hELLO", 0, kFindNoCase, kAll, 0},
      {"x%INSTALLDIR%", "%InstallDir%", 0, kFindNoCase, kAll, 1},
      {"\xC4", "\xE4", 0, kFindNoCase, kAll, -1},  // only ASCII letters fold
      // Whole words.
      {"ab b", "b", 0, kFindWholeWord, kAll, 3},
      {"ab b", "b", 0, 0, kAll, 1},
      {"ba b", "b", 0, kFindWholeWord, kAll, 3},
      {"b_ b", "b", 0, kFindWholeWord, kAll, 3},
      {"b1 b", "b", 0, kFindWholeWord, kAll, 3},
      {"b.", "b", 0, kFindWholeWord, kAll, 0},
      {"(b)", "b", 0, kFindWholeWord, kAll, 1},
      {"abab", "b", 0, kFindWholeWord, kAll, -1},
      // Wildcards.
      {"a1c abc", "a?c", 0, kFindWildcard, kAll, 0},
      {"a1c abc", "a?c", 0, 0, kAll, -1},
      {"xa?c", "a?c", 0, 0, kAll, 1},
      {"xyz", "?z", 0, kFindWildcard, kAll, 1},
      {"ABC", "a?c", 0, kFindWildcard | kFindNoCase, kAll, 0},
      // Quoted runs.
      {"\"x\" x", "x", 0, kFindSkipQuoted, kAll, 4},
      {"\"x\" x", "x", 0, 0, kAll, 1},
      {"\"x\"\"x\"x", "x", 0, kFindSkipQuoted, kAll, 6},
      {"\"a\"", "\"", 0, kFindSkipQuoted, kAll, -1},  // never at the quotes
      {"\"x x", "x", 0, kFindSkipQuoted, kAll, -1},   // an open run reaches the end
      {"a\"b\"", "a", 0, kFindSkipQuoted, kAll, 0},
      {"\"X\" x", "X", 0, kFindSkipQuoted | kFindNoCase, kAll, 4},
      // Position after the match.
      {"abcdef", "cd", 0, kFindReturnEnd, kAll, 4},
      {"ab b", "b", 0, kFindWholeWord | kFindReturnEnd, kAll, 4},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" / \"" << c.pattern << "\" start " << c.start
                                    << " options " << c.options);
    EXPECT_EQ(String(c.text).Find(c.pattern, c.start, c.options, c.patternLength), c.expected);
  }
}

TEST(StringFind, NullPattern) { EXPECT_EQ(String("abc").Find(nullptr), -1); }

struct BackwardCase {
  const char* text;
  char c;
  i32 from;
  u32 options;
  i32 expected;
};

TEST(StringFindBackward, SingleCharacter) {
  const BackwardCase cases[] = {
      {"a\\b\\c", '\\', 4, 0, 3},
      {"a\\b\\c", '\\', 3, 0, 3},
      {"a\\b\\c", '\\', 2, 0, 1},
      {"a\\b\\c", '\\', 100, 0, 3},
      {"a\\b\\c", '\\', -1, 0, -1},
      {"a\\b\\c", '/', 4, 0, -1},
      {"", 'a', 0, 0, -1},
      {"Abc", 'a', 2, 0, -1},
      {"Abc", 'a', 2, kFindNoCase, 0},
      {"x\"x\"y", 'x', 4, kFindSkipQuoted, 0},
      {"x\"x\"y", 'x', 4, 0, 2},
  };
  for (const BackwardCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" from " << c.from << " options " << c.options);
    EXPECT_EQ(String(c.text).FindBackward(c.c, c.from, c.options), c.expected);
  }
}

struct ReplaceCase {
  const char* text;
  const char* search;
  const char* replacement;
  u32 options;
  i32 start;
  i32 result;
  const char* expected;
};

TEST(StringReplace, CountsPositionsAndText) {
  const ReplaceCase cases[] = {
      // Install variables, any letter case.
      {"%installdir%\\a;%INSTALLDIR%\\b", "%InstallDir%", "C:\\Prog", kFindNoCase, 0, 2,
       "C:\\Prog\\a;C:\\Prog\\b"},
      {"%installdir%", "%InstallDir%", "C:\\Prog", 0, 0, 0, "%installdir%"},
      // Equal lengths (in place), growing, shrinking, removing.
      {"aXbXc", "X", "Y", 0, 0, 2, "aYbYc"},
      {"a.b.c", ".", "--", 0, 0, 2, "a--b--c"},
      {"a--b--c", "--", ".", 0, 0, 2, "a.b.c"},
      {"xaxbx", "x", nullptr, 0, 0, 3, "ab"},
      {"xxx", "x", "", 0, 0, 3, ""},
      {"abc", "abc", "", 0, 0, 1, ""},
      {"abc", "x", "yy", 0, 0, 0, "abc"},
      // Replaced text is never searched again; matches do not overlap.
      {"aa", "a", "aa", 0, 0, 2, "aaaa"},
      {"ab", "a", "ba", 0, 0, 1, "bab"},
      {"aaa", "aa", "b", 0, 0, 1, "ba"},
      {"aaaa", "aa", "a", 0, 0, 2, "aa"},
      {"abab", "ab", "ba", 0, 0, 2, "baba"},
      // First only: the position, or -1.
      {"a.b.c", ".", "--", kReplaceFirst, 0, 1, "a--b.c"},
      {"aXbX", "X", "Y", kReplaceFirst, 0, 1, "aYbX"},
      {"a.b.c", ".", "", kReplaceFirst, 2, 3, "a.bc"},
      {"abc", "x", "y", kReplaceFirst, 0, -1, "abc"},
      // Start position.
      {"x.x.x", ".", "-", 0, 2, 1, "x.x-x"},
      {"x.x.x", ".", "--", 0, 2, 1, "x.x--x"},
      // Empty or missing search text.
      {"abc", "", "x", 0, 0, 0, "abc"},
      {"abc", "", "x", kReplaceFirst, 0, -1, "abc"},
      {"abc", nullptr, "x", 0, 0, 0, "abc"},
      {"", "a", "b", 0, 0, 0, ""},
      // Wildcard replacement: the k-th '?' takes what the k-th '?' matched.
      {"a1b a2b", "a?b", "<?>", kFindWildcard, 0, 2, "<1> <2>"},
      {"k12z", "k??z", "?-?", kFindWildcard, 0, 1, "1-2"},
      {"k12z", "k??z", "?", kFindWildcard, 0, 1, "1"},
      {"k12z k34z", "k??z", "?", kFindWildcard, 0, 2, "1 3"},
      {"a1b", "a?b", "??", kFindWildcard, 0, 1, "1?"},  // no counterpart: stays '?'
      {"a1b", "a?b", "[?]", kFindWildcard, 0, 1, "[1]"},  // equal lengths, in place
      {"a?b", "a?b", "?", 0, 0, 1, "?"},                 // without the bit '?' is plain
      {"x1y2", "?", "??", kFindWildcard, 0, 4, "x?1?y?2?"},
      // Whole words and quoted runs act on the search.
      {"cat concat cat", "cat", "dog", kFindWholeWord, 0, 2, "dog concat dog"},
      {"x \"x\" x", "x", "yy", kFindSkipQuoted, 0, 2, "yy \"x\" yy"},
      // The return-end bit of Find is ignored.
      {"a.b", ".", "--", kFindReturnEnd, 0, 1, "a--b"},
      {"a.b", ".", "--", kFindReturnEnd | kReplaceFirst, 0, 1, "a--b"},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" / \"" << (c.search ? c.search : "(null)") << "\" -> \""
                                    << (c.replacement ? c.replacement : "(null)") << "\" options " << c.options);
    String text(c.text);
    EXPECT_EQ(text.Replace(c.search, c.replacement, c.options, c.start), c.result);
    EXPECT_EQ(text, c.expected);
    if (text.Data()) {
      EXPECT_EQ(text.Data()[text.Length()], '\0');
    }
  }
}

TEST(StringReplace, TextsInsideTheSameBuffer) {
  String text("abc");
  EXPECT_EQ(text.Replace("b", text.CStr()), 1);
  EXPECT_EQ(text, "aabcc");

  String same("a-b-c");
  EXPECT_EQ(same.Replace(same.CStr() + 1, same.CStr() + 3, 0), 1);  // "-b-c" by "-c"
  EXPECT_EQ(same, "a-c");

  String self("xyx");
  EXPECT_EQ(self.Replace(self.CStr() + 2, "zz"), 2);
  EXPECT_EQ(self, "zzyzz");
}

// A plain reference of the replace rules without options.
int ReferenceReplace(std::string& text, const std::string& search, const std::string& replacement) {
  std::string out;
  int count = 0;
  size_t at = 0;
  for (size_t hit = text.find(search); hit != std::string::npos; hit = text.find(search, at)) {
    out.append(text, at, hit - at);
    out += replacement;
    at = hit + search.size();
    ++count;
  }
  out.append(text, at, std::string::npos);
  text = out;
  return count;
}

TEST(StringReplace, MatchesReferenceOnRandomTexts) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  const char* searches[] = {"ab", "a", "abc", "ba"};
  const char* replacements[] = {"", "x", "xy", "xyz", "0123456789012345678901234567890", "ab", "b"};
  for (int round = 0; round < 300; ++round) {
    // Long enough that shrinking crosses the 512-character threshold.
    const int length = static_cast<int>(random() % 3000);
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>('a' + random() % 3);
    const char* search = searches[random() % 4];
    const char* replacement = replacements[random() % 7];

    String subject(text.c_str());
    std::string expected = text;
    const int count = ReferenceReplace(expected, search, replacement);
    ASSERT_EQ(subject.Replace(search, replacement), count) << search << " -> " << replacement;
    ASSERT_EQ(subject.Length(), static_cast<i32>(expected.size()));
    ASSERT_STREQ(subject.CStr(), expected.c_str());
  }
}

}  // namespace
}  // namespace kova::core
