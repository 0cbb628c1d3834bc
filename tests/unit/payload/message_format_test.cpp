// Formatting archive message texts with arguments, safely.
#include <gtest/gtest.h>

#include "payload/message_format.h"

namespace kova::payload {
namespace {

TEST(FormatMessageText, FormatsMatchingConversionsAndCopiesTheRest) {
  struct Case {
    const char* format;
    const char* expected;
  } cases[] = {
      {"Insert disk %d in drive %c:", "Insert disk 2 in drive D:"},
      {"Disk %03d", "Disk 002"},
      {"%s needs disk %d", "%s needs disk 2"},       // %s meets a number: copied, the number goes to %d
      {"100%% done, disk %d", "100% done, disk 2"},
      {"%d %d %d", "2 68 %d"},                        // a conversion too many is copied
      {"%n%p%*d %s", "%n%p%*d %s"},                   // never pointers, writes or '*'
      {"tail %", "tail %"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(FormatMessageText(c.format, {2, 'D'}).CStr(), c.expected) << c.format;
  EXPECT_STREQ(FormatMessageText("View %s? %d", {"C:\\App\\Install.LOG"}).CStr(), "View C:\\App\\Install.LOG? %d");
  EXPECT_STREQ(FormatMessageText("[%-5s]", {"ab"}).CStr(), "[ab   ]");
  EXPECT_STREQ(FormatMessageText(nullptr, {}).CStr(), "");
}

}  // namespace
}  // namespace kova::payload
