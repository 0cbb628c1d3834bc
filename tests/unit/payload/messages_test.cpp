// Message lookup with its placeholders, and the texts of the fatal boxes.
#include <gtest/gtest.h>

#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/messages.h"
#include "payload/system_paths.h"

namespace kova::payload {
namespace {

void LoadTable(std::initializer_list<std::initializer_list<const char*>> messages) {
  core::Array<core::String> languages;
  languages.Append("English");
  languages.Append("Deutsch");
  core::Array<core::Array<core::String>> table;
  for (auto texts : messages) {
    core::Array<core::String> entry;
    for (const char* text : texts) entry.Append(text);
    table.Append(entry);
  }
  SetMessageTable(static_cast<core::Array<core::String>&&>(languages),
                  static_cast<core::Array<core::Array<core::String>>&&>(table));
}

class MessagesTest : public testing::Test {
 protected:
  void TearDown() override {
    SetMessageTable({}, {});
    SetLanguageIndex(0);
    payload::Folders().productName.Clear();
  }
};

TEST_F(MessagesTest, ReplacesPlaceholdersWithoutRegardToCase) {
  payload::Folders().productName = "Widget";
  LoadTable({{"Install <product> into <OS>\\Widget? <PRODUCT>!", "<Product> installieren"}});
  core::String windows = payload::GetSystemPaths().windowsDir;
  EXPECT_STREQ(GetMessage(0).CStr(), ("Install Widget into " + windows + "\\Widget? Widget!").CStr());
  SetLanguageIndex(1);
  EXPECT_STREQ(GetMessage(0).CStr(), "Widget installieren");
}

TEST_F(MessagesTest, ReplacementIsMadeInTheTableOnce) {
  payload::Folders().productName = "First";
  LoadTable({{"<product>", "x"}});
  EXPECT_STREQ(GetMessage(0).CStr(), "First");
  payload::Folders().productName = "Second";
  EXPECT_STREQ(GetMessage(0).CStr(), "First");
}

TEST_F(MessagesTest, OutOfRangeGivesEmptyText) {
  LoadTable({{"zero", "null"}, {"one"}});
  EXPECT_STREQ(GetMessage(-1).CStr(), "");
  EXPECT_STREQ(GetMessage(2).CStr(), "");  // the message count
  SetLanguageIndex(1);
  EXPECT_STREQ(GetMessage(1).CStr(), "");  // no text in this language
  SetLanguageIndex(5);
  EXPECT_STREQ(GetMessage(0).CStr(), "");
}

TEST_F(MessagesTest, NoTableGivesEmptyText) { EXPECT_STREQ(GetMessage(0).CStr(), ""); }

TEST_F(MessagesTest, CorruptTextIsBuiltInUntilTheTableHasMessage13) {
  core::String text = CorruptArchiveText(47);
  EXPECT_EQ(text.Find("This installation program is corrupt."), 0);
  EXPECT_GT(text.Find("\r\n\r\nError code: 47"), 0);
  EXPECT_EQ(text.Find("%"), -1);

  LoadTable({{""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""},
             {"Broken (%d). 100%% sure. Not a pointer: %s %n"}});
  // Only %d and %% are expanded: the archive's own text is no format to trust.
  EXPECT_STREQ(CorruptArchiveText(25).CStr(), "Broken (25). 100% sure. Not a pointer: %s %n");
}

TEST_F(MessagesTest, UsageTextNamesTheProgram) {
  core::String expected = "Product name required\n\nUsage:\n";
  expected += payload::GetSystemPaths().installerName;
  expected +=
      " [/a] [/d:<dir>] [/n:<name>] [/u:<name>]\n\n/a\tAutomatic mode\n/d:\"dir\"\tOverride "
      "installation directory\n/n:\"name\"\tOverride product name\n/u:\"name\"\tUninstall product by name";
  EXPECT_STREQ(UsageText("Product name required").CStr(), expected.CStr());
}

}  // namespace
}  // namespace kova::payload
