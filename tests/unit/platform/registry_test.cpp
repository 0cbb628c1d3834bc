// The raw registry of the platform seam: argument rules, sizes and error
// values as advapi32 gives them. Natively these run against the sandbox
// database, under Wine against the real registry; both must agree.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "system/registry_fixture.h"

namespace kova::platform {
namespace {

// A key handle closed at the end of the scope.
struct Key {
  RegistryKey handle = 0;
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle) CloseRegistryKey(handle);
  }
  RegistryKey* operator&() { return &handle; }
  operator RegistryKey() const { return handle; }
};

std::vector<std::string> SubKeyNames(RegistryKey key) {
  std::vector<std::string> names;
  char name[256];
  for (u32 i = 0; EnumRegistryKey(key, i, name, sizeof name) == kErrorSuccess; ++i) names.emplace_back(name);
  return names;
}

std::string Bytes(const char* text, std::size_t size) { return std::string(text, size); }

class RawRegistry : public testing::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_EQ(CreateRegistryKey(kCurrentUser, KeyPath().c_str(), &base_), kErrorSuccess);
  }
  void TearDown() override {
    CloseRegistryKey(base_.handle);
    base_.handle = 0;
    RegistryTest::TearDown();
  }
  Key base_;
};

TEST_F(RawRegistry, CreateOpensOrCreatesWithParentsAndOpenFindsOnlyExisting) {
  Key missing;
  EXPECT_EQ(OpenRegistryKey(base_, "a\\b", &missing), kErrorFileNotFound);
  EXPECT_EQ(missing.handle, 0u);
  Key created;
  ASSERT_EQ(CreateRegistryKey(base_, "a\\b\\c", &created), kErrorSuccess);
  Key opened;
  EXPECT_EQ(OpenRegistryKey(base_, "A\\B\\C", &opened), kErrorSuccess) << "names match without regard to case";
  Key again;
  EXPECT_EQ(CreateRegistryKey(base_, "a\\B", &again), kErrorSuccess);
  Key a;
  ASSERT_EQ(OpenRegistryKey(base_, "a", &a), kErrorSuccess);
  EXPECT_EQ(SubKeyNames(a), std::vector<std::string>{"b"}) << "the first spelling is kept";
}

TEST_F(RawRegistry, PathRules) {
  Key created;
  ASSERT_EQ(CreateRegistryKey(base_, "x\\y", &created), kErrorSuccess);
  Key doubled;
  EXPECT_EQ(OpenRegistryKey(base_, "x\\\\y\\", &doubled), kErrorSuccess) << "doubled and trailing backslashes";
  Key leading;
  EXPECT_EQ(OpenRegistryKey(base_, "\\x", &leading), kErrorBadPathName);
  Key leadingCreate;
  EXPECT_EQ(CreateRegistryKey(base_, "\\z", &leadingCreate), kErrorBadPathName);
  std::string longest(kMaxKeyNameLength, 'n');
  Key longKey;
  EXPECT_EQ(CreateRegistryKey(base_, longest.c_str(), &longKey), kErrorSuccess);

  // The ANSI calls take a path of at most 260 characters.
  std::string path = longest + "\\";
  path += std::string(260 - path.size(), 'm');
  Key deep;
  EXPECT_EQ(CreateRegistryKey(base_, path.c_str(), &deep), kErrorSuccess);
  Key tooLong;
  EXPECT_EQ(OpenRegistryKey(base_, (path + "m").c_str(), &tooLong), kErrorMoreData);
  EXPECT_EQ(CreateRegistryKey(base_, (path + "m").c_str(), &tooLong), kErrorMoreData);
  EXPECT_EQ(DeleteRegistryKey(base_, (path + "m").c_str()), kErrorMoreData);
  EXPECT_EQ(DeleteRegistryKey(base_, path.c_str()), kErrorSuccess);
}

TEST_F(RawRegistry, EmptyPathGivesTheRootItselfOrANewHandle) {
  RegistryKey root = 0;
  EXPECT_EQ(OpenRegistryKey(kCurrentUser, "", &root), kErrorSuccess);
  EXPECT_EQ(root, kCurrentUser);
  EXPECT_EQ(OpenRegistryKey(kCurrentUser, nullptr, &root), kErrorSuccess);
  EXPECT_EQ(root, kCurrentUser);
  EXPECT_EQ(CloseRegistryKey(kCurrentUser), kErrorSuccess) << "closing a predefined root does nothing";

  Key same;
  ASSERT_EQ(OpenRegistryKey(base_, "", &same), kErrorSuccess);
  EXPECT_NE(same.handle, base_.handle);
  ASSERT_EQ(SetRegistryValue(same, "v", kRegDword, reinterpret_cast<const u8*>("\1\0\0\0"), 4), kErrorSuccess);
  EXPECT_EQ(QueryRegistryValue(base_, "v", nullptr, nullptr, nullptr), kErrorSuccess);
}

TEST_F(RawRegistry, ValuesKeepTypeAndBytes) {
  struct Case {
    const char* name;
    u32 type;
    std::string data;
  } cases[] = {
      {"text", kRegSz, Bytes("hello\0", 6)},
      {"expand", kRegExpandSz, Bytes("%WinDir%\\x\0", 11)},
      {"binary", kRegBinary, Bytes("\0\1\2\xff\0", 5)},
      {"empty binary", kRegBinary, ""},
      {"multi", kRegMultiSz, Bytes("one\0two\0\0", 9)},
      {"number", kRegDword, Bytes("\x78\x56\x34\x12", 4)},
      {"short dword", kRegDword, Bytes("\1\2\3", 3)},
      {"", kRegSz, Bytes("default\0", 8)},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SetRegistryValue(base_, c.name, c.type, reinterpret_cast<const u8*>(c.data.data()),
                               static_cast<u32>(c.data.size())),
              kErrorSuccess)
        << c.name;
    u32 type = 0;
    u32 size = 0;
    EXPECT_EQ(QueryRegistryValue(base_, c.name, &type, nullptr, &size), kErrorSuccess) << c.name;
    EXPECT_EQ(size, c.data.size()) << c.name;
    std::vector<u8> buffer(c.data.size() + 1);
    size = static_cast<u32>(buffer.size());
    ASSERT_EQ(QueryRegistryValue(base_, c.name, &type, buffer.data(), &size), kErrorSuccess) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), size), c.data) << c.name;
  }
  u32 size = 0;
  EXPECT_EQ(QueryRegistryValue(base_, nullptr, nullptr, nullptr, &size), kErrorSuccess) << "null is the default value";
  EXPECT_EQ(size, 8u);
}

TEST_F(RawRegistry, QueryIntoASmallBufferReportsTheSizeAndWritesNothingBeyond) {
  ASSERT_EQ(SetRegistryValue(base_, "s", kRegSz, reinterpret_cast<const u8*>("0123456789"), 11), kErrorSuccess);
  u8 buffer[16];
  std::memset(buffer, 0xCC, sizeof buffer);
  u32 size = 10;
  u32 type = 0;
  EXPECT_EQ(QueryRegistryValue(base_, "s", &type, buffer, &size), kErrorMoreData);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(type, kRegSz);
  for (int i = 10; i < 16; ++i) EXPECT_EQ(buffer[i], 0xCC) << "byte " << i;
  size = 11;
  EXPECT_EQ(QueryRegistryValue(base_, "s", &type, buffer, &size), kErrorSuccess);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "0123456789");
  EXPECT_EQ(QueryRegistryValue(base_, "s", &type, buffer, nullptr), kErrorInvalidParameter);
  EXPECT_EQ(QueryRegistryValue(base_, "missing", &type, buffer, &size), kErrorFileNotFound);
  EXPECT_EQ(QueryRegistryValue(base_, "", nullptr, nullptr, nullptr), kErrorFileNotFound) << "no default value set";
}

TEST_F(RawRegistry, TextWithoutItsNulReadsBackWithOne) {
  ASSERT_EQ(SetRegistryValue(base_, "t", kRegSz, reinterpret_cast<const u8*>("abc"), 3), kErrorSuccess);
  char buffer[8] = "xxxxxxx";
  u32 size = sizeof buffer;
  ASSERT_EQ(QueryRegistryValue(base_, "t", nullptr, reinterpret_cast<u8*>(buffer), &size), kErrorSuccess);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::string(buffer, 4), Bytes("abc\0", 4));
  ASSERT_EQ(SetRegistryValue(base_, "e", kRegSz, reinterpret_cast<const u8*>(""), 0), kErrorSuccess);
  size = sizeof buffer;
  ASSERT_EQ(QueryRegistryValue(base_, "e", nullptr, reinterpret_cast<u8*>(buffer), &size), kErrorSuccess);
  EXPECT_EQ(size, 0u);
}

TEST_F(RawRegistry, SettingAValueInAnotherCaseKeepsItsNameAndPlace) {
  ASSERT_EQ(SetRegistryValue(base_, "first", kRegSz, reinterpret_cast<const u8*>("1"), 2), kErrorSuccess);
  ASSERT_EQ(SetRegistryValue(base_, "second", kRegSz, reinterpret_cast<const u8*>("2"), 2), kErrorSuccess);
  ASSERT_EQ(SetRegistryValue(base_, "FIRST", kRegDword, reinterpret_cast<const u8*>("\1\0\0\0"), 4), kErrorSuccess);
  core::String name;
  core::String data;
  u32 type = 0;
  ASSERT_EQ(EnumRegistryValue(base_, 0, name, type, data), kErrorSuccess);
  EXPECT_STREQ(name.CStr(), "first");
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(data.Length(), 4);
  ASSERT_EQ(EnumRegistryValue(base_, 1, name, type, data), kErrorSuccess);
  EXPECT_STREQ(name.CStr(), "second");
  EXPECT_EQ(EnumRegistryValue(base_, 2, name, type, data), kErrorNoMoreItems);
}

// Names compare as Windows compares them under code page 1252: accented
// letters have their upper case too, signs that look alike do not.
TEST_F(RawRegistry, AccentedNamesMatchInEitherCase) {
  struct Case {
    const char* created;
    const char* other;
    bool same;
  } cases[] = {
      {"Caf\xE9", "CAF\xC9", true},      // e acute
      {"\xE0\xFE\xF8", "\xC0\xDE\xD8", true},  // a grave, thorn, o stroke
      {"\x9A\x9C\x9E", "\x8A\x8C\x8E", true},  // s caron, oe, z caron
      {"\xFF", "\x9F", true},            // y diaeresis
      {"\xF7", "\xD7", false},           // division and multiplication signs
      {"\xDF", "SS", false},             // sharp s has no one-letter upper case
  };
  for (const Case& c : cases) {
    Key created;
    ASSERT_EQ(CreateRegistryKey(base_, c.created, &created), kErrorSuccess) << c.created;
    Key opened;
    EXPECT_EQ(OpenRegistryKey(base_, c.other, &opened), c.same ? kErrorSuccess : kErrorFileNotFound) << c.other;
    ASSERT_EQ(SetRegistryValue(base_, c.created, kRegSz, reinterpret_cast<const u8*>("1"), 2), kErrorSuccess);
    EXPECT_EQ(QueryRegistryValue(base_, c.other, nullptr, nullptr, nullptr), c.same ? kErrorSuccess : kErrorFileNotFound)
        << c.other;
  }
}

TEST_F(RawRegistry, SubKeysEnumerateInCaseInsensitiveOrder) {
  for (const char* name : {"zz", "Ab", "_a", "B", "[x", "ab2"}) {
    Key key;
    ASSERT_EQ(CreateRegistryKey(base_, name, &key), kErrorSuccess) << name;
  }
  EXPECT_EQ(SubKeyNames(base_), (std::vector<std::string>{"[x", "_a", "Ab", "ab2", "B", "zz"}));
  char small[2];
  EXPECT_EQ(EnumRegistryKey(base_, 0, small, sizeof small), kErrorMoreData);
  char name[256];
  EXPECT_EQ(EnumRegistryKey(base_, 6, name, sizeof name), kErrorNoMoreItems);
  ASSERT_EQ(SetRegistryValue(base_, "v", kRegSz, reinterpret_cast<const u8*>(""), 1), kErrorSuccess);
  u32 subKeys = 0;
  u32 values = 0;
  ASSERT_EQ(QueryRegistryKeyCounts(base_, &subKeys, &values), kErrorSuccess);
  EXPECT_EQ(subKeys, 6u);
  EXPECT_EQ(values, 1u);
}

TEST_F(RawRegistry, DeletingKeys) {
  {
    Key leaf;
    ASSERT_EQ(CreateRegistryKey(base_, "a\\b", &leaf), kErrorSuccess);
  }
  EXPECT_EQ(DeleteRegistryKey(base_, "a"), kErrorAccessDenied) << "a key with subkeys stays";
  EXPECT_EQ(DeleteRegistryKey(base_, "missing"), kErrorFileNotFound);
  EXPECT_EQ(DeleteRegistryKey(base_, nullptr), kErrorInvalidParameter);

  Key open;
  ASSERT_EQ(OpenRegistryKey(base_, "a\\b", &open), kErrorSuccess);
  EXPECT_EQ(DeleteRegistryKey(base_, "a\\b"), kErrorSuccess) << "an open key can be deleted";
  EXPECT_EQ(SetRegistryValue(open, "x", kRegSz, reinterpret_cast<const u8*>(""), 1), kErrorKeyDeleted);
  Key below;
  EXPECT_EQ(OpenRegistryKey(open, "", &below), kErrorKeyDeleted);
  EXPECT_EQ(CloseRegistryKey(open.handle), kErrorSuccess);
  open.handle = 0;

  Key a;
  ASSERT_EQ(OpenRegistryKey(base_, "a", &a), kErrorSuccess);
  EXPECT_EQ(DeleteRegistryKey(a, ""), kErrorSuccess) << "an empty name deletes the key itself";
  Key gone;
  EXPECT_EQ(OpenRegistryKey(base_, "a", &gone), kErrorFileNotFound);
}

TEST_F(RawRegistry, DeletingValuesAndBadHandles) {
  EXPECT_EQ(DeleteRegistryValue(base_, "missing"), kErrorFileNotFound);
  ASSERT_EQ(SetRegistryValue(base_, "v", kRegSz, reinterpret_cast<const u8*>(""), 1), kErrorSuccess);
  EXPECT_EQ(DeleteRegistryValue(base_, "V"), kErrorSuccess);
  EXPECT_EQ(QueryRegistryValue(base_, "v", nullptr, nullptr, nullptr), kErrorFileNotFound);
  EXPECT_EQ(CloseRegistryKey(0x1234), kErrorInvalidHandle);
}

}  // namespace
}  // namespace kova::platform
