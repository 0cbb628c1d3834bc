// The conversions of stored registry texts to numbers and booleans.
#include "system/registry_value.h"

#include <gtest/gtest.h>

#include <climits>

namespace kova::system {
namespace {

TEST(RegistryValue, TextToNumber) {
  struct Case {
    const char* text;
    i32 number;
  } cases[] = {
      {"12abc", 12},         {" 12", 0},          {"-7", -7},         {"+5", 5},
      {"abc", 0},            {"", 0},             {"-", 0},           {"--3", 0},
      {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN}, {"-99999999999", INT_MIN}, {"007", 7},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToNumber(c.text), c.number) << '"' << c.text << '"';
  EXPECT_EQ(TextToNumber(nullptr), 0);
}

TEST(RegistryValue, TextToBool) {
  struct Case {
    const char* text;
    bool flag;
  } cases[] = {
      {"", false},    {"  \t", false}, {"0", false},  {"-1", false}, {"n", false},   {"No", false},
      {"FALSE", false}, {" false\r\n", false}, {"00", true}, {"1", true}, {"yes", true}, {"nope", true},
      {"true", true}, {" 2 ", true},  {"+1", false}, {".5", false}, {"\xe9", true},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToBool(c.text), c.flag) << '"' << c.text << '"';
  EXPECT_FALSE(TextToBool(nullptr));
}

TEST(RegistryValue, NumbersConvertToSignedDecimalText) {
  RegistryValue value;
  value.kind = ValueKind::kNumber;
  value.number = -2;
  EXPECT_STREQ(ValueToText(value).CStr(), "-2");
  EXPECT_TRUE(ValueToBool(value));
  value.number = 0;
  EXPECT_FALSE(ValueToBool(value));
}

}  // namespace
}  // namespace kova::system
