// The command line: tokens, switches, their limits and faults, and the
// installer path taken from the full command line.
#include <gtest/gtest.h>

#include "payload/command_line.h"

namespace kova::payload {
namespace {

TEST(NextToken, TakesOneTokenAndKeepsQuotes) {
  struct Case {
    const char* line;
    const char* token;
    const char* rest;
  } cases[] = {
      {"  /a /b", "/a", "/b"},
      {"\t\r\n/a", "/a", ""},
      {"/d:\"C:\\My Programs\" /a", "/d:\"C:\\My Programs\"", "/a"},
      {"/n:\"say \"\"hi\"\"\"", "/n:\"say \"hi\"\"", ""},   // a doubled quote stands for one
      {"/d:\"open to the end", "/d:\"open to the end\"", ""},
      {"a\"b c\"d e", "a\"b c\"d", "e"},
      {"", "", ""},
      {"   ", "", ""},
  };
  for (const Case& c : cases) {
    core::String rest(c.line);
    EXPECT_STREQ(NextToken(rest).CStr(), c.token) << c.line;
    EXPECT_STREQ(rest.CStr(), c.rest) << c.line;
  }
}

TEST(ParseCommandLine, AcceptsEverySwitchForm) {
  struct Case {
    const char* line;
    bool automatic, uninstall, dirGiven;
    const char* dir;
    bool nameGiven;
    const char* name;
  } cases[] = {
      {"/A", true, false, false, "", false, ""},
      {"-a", true, false, false, "", false, ""},
      {"/a", true, false, false, "", false, ""},
      {"/d:\"C:\\My Programs\"", false, false, true, "C:\\My Programs", false, ""},
      {"/d:C:\\X", false, false, true, "C:\\X", false, ""},
      {"-D:\"", false, false, true, "", false, ""},  // a lone quote: empty directory
      {"/d:", false, false, true, "", false, ""},
      {"/u:\"My App\"", false, true, false, "", true, "My App"},
      {"/uMyApp", false, true, false, "", false, ""},
      {"/U", false, true, false, "", false, ""},
      {"/n:Name /u", false, true, false, "", true, "Name"},
      {"/d:A /d:B", false, false, true, "B", false, ""},  // a later switch wins
      {"/ -", false, false, false, "", false, ""},        // lone switch characters are ignored
      {"", false, false, false, "", false, ""},
  };
  for (const Case& c : cases) {
    CommandLine result;
    core::String fault;
    ASSERT_TRUE(ParseCommandLine(c.line, result, fault)) << c.line << ": " << fault.CStr();
    EXPECT_EQ(result.automatic, c.automatic) << c.line;
    EXPECT_EQ(result.uninstall, c.uninstall) << c.line;
    EXPECT_EQ(result.installDirGiven, c.dirGiven) << c.line;
    EXPECT_STREQ(result.installDir.CStr(), c.dir) << c.line;
    EXPECT_EQ(result.productNameGiven, c.nameGiven) << c.line;
    EXPECT_STREQ(result.productName.CStr(), c.name) << c.line;
  }
}

TEST(ParseCommandLine, ReportsFaults) {
  struct Case {
    const char* line;
    const char* fault;
  } cases[] = {
      {"/ab", "Illegal command line atom:\nab"},
      {"/x", "Illegal command line atom:\nx"},
      {"plain", "Unexpected command line parameter:\nplain"},
      {"/a \"quoted arg\"", "Unexpected command line parameter:\n\"quoted arg\""},
      {"/a /dir", "Illegal command line atom:\ndir"},
  };
  for (const Case& c : cases) {
    CommandLine result;
    core::String fault;
    EXPECT_FALSE(ParseCommandLine(c.line, result, fault)) << c.line;
    EXPECT_STREQ(fault.CStr(), c.fault) << c.line;
  }
}

TEST(ParseCommandLine, ExaminesAtMostNineteenTokens) {
  core::String line;
  for (int i = 0; i < 19; ++i) line += "/a ";
  CommandLine result;
  core::String fault;
  EXPECT_TRUE(ParseCommandLine((line + "/illegal").CStr(), result, fault));
  EXPECT_FALSE(ParseCommandLine((line.Mid(3) + "/illegal").CStr(), result, fault));
}

TEST(InstallerPathOf, TakesTheFirstTokenAndAddsExe) {
  struct Case {
    const char* commandLine;
    const char* path;
  } cases[] = {
      {"\"C:\\Setup Files\\setup\" /a", "C:\\Setup Files\\setup.EXE"},
      {"  C:\\setup.exe /a", "C:\\setup.exe"},
      {"C:\\dir.x\\setup /a", "C:\\dir.x\\setup.EXE"},  // the dot of a folder is no extension
      {"setup", "setup.EXE"},
      {"", ""},
      {"\"\" /a", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(InstallerPathOf(c.commandLine).CStr(), c.path) << c.commandLine;
}

}  // namespace
}  // namespace kova::payload
