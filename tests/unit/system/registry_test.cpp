// The registry layer: the current key and its stack, value reading with its
// conversions, and the recursive deletions. Each case works below the
// fixture's throw-away key, natively in a sandbox and under Wine in the real
// registry.
#include "system/registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "system/registry_fixture.h"
#include "system/registry_value.h"

namespace kova::system {
namespace {

using platform::kCurrentUser;

class RegistryLayer : public testing::RegistryTest {
 protected:
  // Opens this test's key (creating it) as the current key.
  void OpenBase() { ASSERT_TRUE(OpenKey(kCurrentUser, KeyPath().c_str(), 0)); }

  bool Exists(const std::string& below) {
    platform::RegistryKey key = 0;
    if (platform::OpenRegistryKey(kCurrentUser, Below(below).c_str(), &key) != platform::kErrorSuccess) return false;
    platform::CloseRegistryKey(key);
    return true;
  }

  void SetRaw(const char* name, u32 type, const std::string& data) {
    ASSERT_EQ(platform::SetRegistryValue(CurrentKey(), name, type, reinterpret_cast<const u8*>(data.data()),
                                         static_cast<u32>(data.size())),
              platform::kErrorSuccess);
  }
};

TEST_F(RegistryLayer, NestedOpensReturnToThePreviousKey) {
  EXPECT_EQ(CurrentKey(), 0u);
  OpenBase();
  RegistryKey base = CurrentKey();
  ASSERT_TRUE(OpenSubKey("shell\\open", 0));
  ASSERT_TRUE(OpenSubKey("command", 0));
  EXPECT_EQ(KeyStackDepth(), 3);
  EXPECT_TRUE(SetStringValue(nullptr, "app.exe \"%1\"", 0));
  CloseKey();
  CloseKey();
  EXPECT_EQ(CurrentKey(), base);
  CloseKey();
  EXPECT_EQ(CurrentKey(), 0u);
  EXPECT_TRUE(Exists("shell\\open\\command"));
}

TEST_F(RegistryLayer, FailedOpensChangeNothing) {
  EXPECT_FALSE(OpenSubKey("orphan", 0)) << "no current key";
  EXPECT_FALSE(Exists("orphan"));
  EXPECT_FALSE(SetStringValue("v", "x", 0));
  EXPECT_FALSE(SetNumberValue("v", 1, 0));
  EXPECT_FALSE(DeleteValue("v"));
  EXPECT_FALSE(ValueExists("v"));
  EXPECT_FALSE(HasSubKeys());
  EXPECT_TRUE(IsKeyEmpty());
  EXPECT_STREQ(GetStringValue("v", "default", 0).CStr(), "default");

  OpenBase();
  RegistryKey base = CurrentKey();
  EXPECT_FALSE(OpenSubKey("missing", kRegOpenExisting));
  EXPECT_FALSE(Exists("missing"));
  EXPECT_EQ(CurrentKey(), base);
  EXPECT_EQ(KeyStackDepth(), 1);
  CloseKey();
}

TEST(RegistryLayerDeathTest, CloseWithoutOpenEndsTheProgram) {
  EXPECT_DEATH(CloseKey(), "Stack<HKEY>::pop");
}

TEST_F(RegistryLayer, SoftwareKeysFollowThePerUserFlag) {
  std::string path = SoftwarePath() + "\\Product";
  EXPECT_FALSE(SoftwareKeyExists(path.c_str(), true));
  EXPECT_FALSE(SoftwareKeyExists(nullptr, true));
  EXPECT_FALSE(OpenSoftwareKey(path.c_str(), true, kRegOpenExisting));
  ASSERT_TRUE(OpenSoftwareKey(path.c_str(), true, 0));
  RegistryKey product = CurrentKey();
  EXPECT_TRUE(SoftwareKeyExists(path.c_str(), true));
  EXPECT_EQ(CurrentKey(), product) << "the existence test leaves the current key alone";
  CloseKey();
  EXPECT_TRUE(Exists("Product"));
  EXPECT_EQ(SoftwareRoot(true), kCurrentUser);
  EXPECT_EQ(SoftwareRoot(false), platform::kLocalMachine);
}

TEST_F(RegistryLayer, SettingValues) {
  OpenBase();
  ASSERT_TRUE(SetStringValue("text", "abc", 0));
  ASSERT_TRUE(SetStringValue("empty", "", 0));
  u32 type = 0;
  u32 size = 0;
  ASSERT_EQ(platform::QueryRegistryValue(CurrentKey(), "empty", &type, nullptr, &size), platform::kErrorSuccess);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 1u) << "an empty REG_SZ still holds its NUL";
  ASSERT_EQ(platform::QueryRegistryValue(CurrentKey(), "text", &type, nullptr, &size), platform::kErrorSuccess);
  EXPECT_EQ(size, 4u);

  EXPECT_TRUE(SetStringValue("text", "", kRegDeleteEmpty));
  EXPECT_FALSE(ValueExists("text"));
  EXPECT_FALSE(SetStringValue("text", "", kRegDeleteEmpty)) << "nothing left to delete";

  ASSERT_TRUE(SetNumberValue("n", -2, 0));
  EXPECT_EQ(GetNumberValue("n", 7, 0), -2);
  ASSERT_EQ(platform::QueryRegistryValue(CurrentKey(), "n", &type, nullptr, &size), platform::kErrorSuccess);
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_TRUE(SetNumberValue("n", 0, kRegDeleteEmpty));
  EXPECT_FALSE(ValueExists("n"));
  ASSERT_TRUE(SetNumberValue("zero", 0, 0));
  EXPECT_TRUE(ValueExists("zero"));
  ASSERT_TRUE(SetBoolValue("flag", true));
  EXPECT_EQ(GetNumberValue("flag", 7, 0), 1);
  CloseKey();
}

TEST_F(RegistryLayer, DeleteValueNeedsANameAndAValue) {
  OpenBase();
  ASSERT_TRUE(SetStringValue(nullptr, "default", 0));
  EXPECT_FALSE(DeleteValue(nullptr));
  EXPECT_FALSE(DeleteValue(""));
  EXPECT_TRUE(ValueExists(""));
  EXPECT_FALSE(DeleteValue("missing"));
  ASSERT_TRUE(SetStringValue("v", "x", 0));
  EXPECT_TRUE(DeleteValue("V"));
  CloseKey();
}

TEST_F(RegistryLayer, ReadingConvertsByStoredType) {
  OpenBase();
  struct Case {
    const char* name;
    u32 type;
    std::string data;
    const char* text;  // nullptr: cannot be read, the default comes back
    i32 number;
    bool flag;
  } cases[] = {
      {"sz", platform::kRegSz, std::string("12abc\0", 6), "12abc", 12, true},
      {"blank first", platform::kRegSz, std::string(" 12\0", 4), " 12", 0, true},
      {"dword 0", platform::kRegDword, std::string("\0\0\0\0", 4), "0", 0, false},
      {"dword 2", platform::kRegDword, std::string("\2\0\0\0", 4), "2", 2, true},
      {"dword -1", platform::kRegDword, std::string("\xff\xff\xff\xff", 4), "-1", -1, true},
      {"binary", platform::kRegBinary, std::string("42", 2), "42", 42, true},
      {"multi", platform::kRegMultiSz, std::string("no\0", 3), "no", 0, false},
      {"short dword", platform::kRegDword, std::string("\1\0\0", 3), nullptr, 99, true},
      {"expand", platform::kRegExpandSz, std::string("5\0", 2), nullptr, 99, true},
  };
  for (const Case& c : cases) {
    SetRaw(c.name, c.type, c.data);
    EXPECT_STREQ(GetStringValue(c.name, "default", 0).CStr(), c.text ? c.text : "default") << c.name;
    EXPECT_EQ(GetNumberValue(c.name, 99, 0), c.number) << c.name;
    EXPECT_EQ(GetBoolValue(c.name, true, 0), c.flag) << c.name;
  }
  EXPECT_EQ(GetBoolValue("missing", true, 0), true);
  EXPECT_EQ(GetBoolValue("missing", false, 0), false);
  EXPECT_EQ(GetNumberValue("missing", -5, 0), -5);
  CloseKey();
}

// Values beyond the 32 bytes of the first try take the second, sized query;
// a text of any length reads back whole, and the same bytes come back
// whichever query read them.
TEST_F(RegistryLayer, LongValuesReadWhole) {
  OpenBase();
  for (int length : {30, 31, 32, 33, 100, 5000}) {
    std::string text(static_cast<std::size_t>(length), 'x');
    text[0] = '7';
    ASSERT_TRUE(SetStringValue("long", text.c_str(), 0));
    EXPECT_STREQ(GetStringValue("long", "default", 0).CStr(), text.c_str()) << length;
    EXPECT_EQ(GetNumberValue("long", 0, 0), 7) << length;

    std::string multi = text + std::string("\0second\0\0", 9);
    SetRaw("multi", platform::kRegMultiSz, multi);
    core::String bytes = GetStringValue("multi", "default", 0);
    EXPECT_EQ(std::string(bytes.CStr(), static_cast<std::size_t>(bytes.Length())), multi) << length;
  }
  CloseKey();
}

TEST_F(RegistryLayer, AValueBeyondTheLimitIsNotRead) {
  OpenBase();
  SetRaw("huge", platform::kRegBinary, std::string(kMaxValueBytes + 1, '1'));
  EXPECT_STREQ(GetStringValue("huge", "default", 0).CStr(), "default");
  SetRaw("limit", platform::kRegBinary, std::string(kMaxValueBytes, '1'));
  EXPECT_EQ(GetStringValue("limit", "default", 0).Length(), static_cast<i32>(kMaxValueBytes));
  CloseKey();
}

TEST_F(RegistryLayer, KeyContents) {
  OpenBase();
  EXPECT_TRUE(IsKeyEmpty());
  EXPECT_FALSE(HasSubKeys());
  ASSERT_TRUE(SetStringValue("v", "x", 0));
  EXPECT_FALSE(IsKeyEmpty());
  EXPECT_FALSE(HasSubKeys());
  ASSERT_TRUE(DeleteValue("v"));
  ASSERT_TRUE(OpenSubKey("sub", 0));
  CloseKey();
  EXPECT_TRUE(HasSubKeys());
  EXPECT_FALSE(IsKeyEmpty());
  CloseKey();
}

TEST_F(RegistryLayer, DeleteSubKeyRemovesTheWholeTreeAndKeepsTheCurrentKey) {
  OpenBase();
  RegistryKey base = CurrentKey();
  for (const char* path : {"tree\\a\\b\\c", "tree\\a\\b2", "tree\\d"}) {
    ASSERT_TRUE(OpenSubKey(path, 0));
    ASSERT_TRUE(SetStringValue("v", path, 0));
    CloseKey();
  }
  EXPECT_TRUE(DeleteSubKey("tree", 0));
  EXPECT_FALSE(Exists("tree"));
  EXPECT_EQ(CurrentKey(), base);
  EXPECT_EQ(KeyStackDepth(), 1);

  EXPECT_TRUE(DeleteSubKey("never", 0)) << "a missing key is created, then deleted";
  EXPECT_FALSE(Exists("never"));
  EXPECT_FALSE(DeleteSubKey(nullptr, 0));
  CloseKey();
  EXPECT_FALSE(DeleteSubKey("tree", 0)) << "no current key";
}

// An empty name must not stand for the current key itself.
TEST_F(RegistryLayer, DeleteSubKeyWithAnEmptyNameDeletesNothing) {
  OpenBase();
  ASSERT_TRUE(OpenSubKey("child", 0));
  CloseKey();
  EXPECT_FALSE(DeleteSubKey("", 0));
  EXPECT_TRUE(Exists("child"));
  EXPECT_TRUE(SetStringValue("still", "here", 0)) << "the current key was not deleted";
  CloseKey();
}

TEST_F(RegistryLayer, OnlyIfEmptyKeepsAKeyWithContents) {
  OpenBase();
  ASSERT_TRUE(OpenSubKey("full", 0));
  ASSERT_TRUE(SetStringValue("v", "x", 0));
  CloseKey();
  EXPECT_FALSE(DeleteSubKey("full", kRegOnlyIfEmpty));
  EXPECT_TRUE(Exists("full"));
  ASSERT_TRUE(OpenSubKey("empty", 0));
  CloseKey();
  EXPECT_TRUE(DeleteSubKey("empty", kRegOnlyIfEmpty));
  EXPECT_FALSE(Exists("empty"));
  CloseKey();

  std::string full = SoftwarePath() + "\\full";
  EXPECT_FALSE(DeleteSoftwareKey(full.c_str(), true, kRegOnlyIfEmpty));
  EXPECT_TRUE(Exists("full"));
  EXPECT_TRUE(DeleteSoftwareKey(full.c_str(), true, 0));
  EXPECT_FALSE(Exists("full"));
}

TEST_F(RegistryLayer, DeleteKeyPathCreatesAMissingParent) {
  std::string path = Below("A\\B");
  EXPECT_TRUE(DeleteKeyPath(kCurrentUser, path.c_str(), 0));
  EXPECT_TRUE(Exists("A")) << "the parent was created and stays";
  EXPECT_FALSE(Exists("A\\B"));
  EXPECT_FALSE(DeleteKeyPath(kCurrentUser, (Below("A") + "\\").c_str(), 0)) << "empty name";
  EXPECT_FALSE(DeleteKeyPath(kCurrentUser, nullptr, 0));

  std::string parent = SoftwarePath() + "\\A";
  OpenBase();
  ASSERT_TRUE(OpenSubKey("A\\C\\D", 0));
  CloseKey();
  RegistryKey base = CurrentKey();
  EXPECT_TRUE(DeleteKeyPath(parent.c_str(), "C", true, 0));
  EXPECT_EQ(CurrentKey(), base);
  EXPECT_FALSE(Exists("A\\C"));
  CloseKey();
}

TEST_F(RegistryLayer, DeleteKeyPathOfOneNameUsesTheRootAsParent) {
  OpenBase();
  ASSERT_TRUE(OpenSubKey(".kvt\\shell", 0));
  CloseKey();
  RegistryKey root = CurrentKey();
  EXPECT_TRUE(DeleteKeyPath(root, ".kvt", 0));
  EXPECT_FALSE(Exists(".kvt"));
  EXPECT_EQ(CurrentKey(), root);
  CloseKey();
}

TEST_F(RegistryLayer, ReadRegistryString) {
  std::string missingKey = Below("Shell Folders\\Desktop");
  EXPECT_STREQ(ReadRegistryString(kCurrentUser, missingKey.c_str(), "default", 0).CStr(), "")
      << "an opened key without the value gives empty text";
  EXPECT_TRUE(Exists("Shell Folders")) << "the key was created";
  EXPECT_STREQ(ReadRegistryString(kCurrentUser, (Below("x") + "\\").c_str(), "default", 0).CStr(), "default");
  EXPECT_STREQ(ReadRegistryString(kCurrentUser, nullptr, "default", 0).CStr(), "default");

  OpenBase();
  ASSERT_TRUE(OpenSubKey("Shell Folders", 0));
  ASSERT_TRUE(SetStringValue("Desktop", "C:\\Desk", 0));
  RegistryKey folders = CurrentKey();
  EXPECT_STREQ(ReadRegistryString(kCurrentUser, missingKey.c_str(), "default", 0).CStr(), "C:\\Desk");
  EXPECT_EQ(CurrentKey(), folders);
  CloseKey();
  CloseKey();
}

TEST(RegistryPath, SplitKeyPath) {
  struct Case {
    const char* path;
    bool ok;
    const char* parent;
    const char* name;
  } cases[] = {
      {"Software\\A\\B", true, "Software\\A\\", "B"},
      {".txt", true, "", ".txt"},
      {"C:file", true, "C:", "file"},
      {"Software\\", false, "Software\\", ""},
      {"C:", false, "C:", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    core::String parent;
    core::String name;
    EXPECT_EQ(SplitKeyPath(c.path, parent, name), c.ok) << c.path;
    EXPECT_STREQ(parent.CStr(), c.parent) << c.path;
    EXPECT_STREQ(name.CStr(), c.name) << c.path;
  }
  core::String parent;
  core::String name;
  EXPECT_FALSE(SplitKeyPath(nullptr, parent, name));
}

}  // namespace
}  // namespace kova::system
