// Snapshots: SHA-256 against the standard's vectors, Wine's registry files
// read into the values the ANSI registry functions give, and the
// differences between two snapshots.
#include "cli/snapshot.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/sha256.h"

namespace kova::cli {
namespace {

std::string Sha(const std::string& text, std::size_t chunk = 0) {
  Sha256 hash;
  if (chunk == 0) {
    hash.Add(text.data(), text.size());
  } else {
    for (std::size_t i = 0; i < text.size(); i += chunk) hash.Add(text.data() + i, std::min(chunk, text.size() - i));
  }
  return hash.HexDigest();
}

TEST(Sha256, StandardVectorsInAnyPieces) {
  EXPECT_EQ(Sha(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";  // 56 bytes: padding spills
  for (std::size_t chunk : {0, 1, 7, 64})
    EXPECT_EQ(Sha(two, chunk), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1") << chunk;
  EXPECT_EQ(Sha(std::string(1000000, 'a'), 4096), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(WineRegistry, ValuesAsTheAnsiFunctionsGiveThem) {
  const char* text =
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to \\\\Registry\\\\Machine\n"
      "\n"
      "#arch=win64\n"
      "\n"
      "[Software\\\\Kova\\\\Caf\\xe9] 1700000000\n"
      "#time=1da2b3c4d5e6f70\n"
      "@=\"default\"\n"
      "\"Text\"=\"a \\\"quoted\\\" \\\\ path\\n\"\n"
      "\"Euro\"=\"\\x20ac \\x4e2d\"\n"
      "\"Number\"=dword:0000002a\n"
      "\"Expand\"=str(2):\"%WinDir%\\\\x\"\n"
      "\"Wide\"=hex(2):25,00,57,00,e9,00,00,00\n"
      "\"Blob\"=hex:01,02,03,\\\n"
      "  04,05\n"
      "\n"
      "[Software\\\\Kova\\\\Empty] 1700000000\n";
  std::map<std::string, RegistryValues> keys;
  std::string error;
  ASSERT_TRUE(ReadWineRegistry(text, "HKEY_LOCAL_MACHINE", keys, error)) << error;
  ASSERT_EQ(keys.size(), 2u);
  const RegistryValues& values = keys.at("HKEY_LOCAL_MACHINE\\Software\\Kova\\Caf\xc3\xa9");
  EXPECT_EQ(values.at(""), "\"default\"");
  EXPECT_EQ(values.at("Text"), "\"a \\\"quoted\\\" \\\\ path\\n\"");
  EXPECT_EQ(values.at("Euro"), "\"\xe2\x82\xac ?\"");  // the euro sign has a place in the code page, CJK none
  EXPECT_EQ(values.at("Number"), "dword:0000002a");
  EXPECT_EQ(values.at("Expand"), "hex(2):25,57,69,6e,44,69,72,25,5c,78,00");
  EXPECT_EQ(values.at("Wide"), "hex(2):25,57,e9,00");
  EXPECT_EQ(values.at("Blob"), "hex:01,02,03,04,05");
  EXPECT_TRUE(keys.at("HKEY_LOCAL_MACHINE\\Software\\Kova\\Empty").empty());
}

TEST(WineRegistry, DamagedFilesAreRefusedWithTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"REGEDIT4\n", "not a registry file of Wine"},
      {"WINE REGISTRY Version 2\n\"x\"=\"y\"\n", "line 2: a value before the first key"},
      {"WINE REGISTRY Version 2\n[Key\n", "line 2: a key without its closing ']'"},
      {"WINE REGISTRY Version 2\n[K] 1\n\"x\"=hex:0g\n", "line 3: value data not understood"},
      {"WINE REGISTRY Version 2\n[K] 1\n\"x\"=\"open\n", "line 3: value data not understood"},
      {"WINE REGISTRY Version 2\n[K] 1\nnonsense\n", "line 3: neither a key nor a value"},
  };
  for (const Case& c : cases) {
    std::map<std::string, RegistryValues> keys;
    std::string error;
    EXPECT_FALSE(ReadWineRegistry(c.text, "HKEY_CURRENT_USER", keys, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

TEST(SnapshotDiff, AddedChangedAndRemovedInPathOrder) {
  Snapshot before, after;
  before.files["C:\\App"] = {"folder", 0, "", "", ""};
  before.files["C:\\App\\a.txt"] = {"file", 1, "2024-01-01 00:00:00.0000000", "aa", ""};
  before.files["C:\\App\\gone.txt"] = {"file", 2, "2024-01-01 00:00:00.0000000", "bb", ""};
  before.registry["HKEY_CURRENT_USER\\Software\\Kova"] = {{"Kept", "\"1\""}, {"Old", "\"2\""}, {"Same", "\"3\""}};
  before.registry["HKEY_CURRENT_USER\\Software\\Gone"] = {{"", "\"x\""}};
  after.files = before.files;
  after.files.erase("C:\\App\\gone.txt");
  after.files["C:\\App\\a.txt"].sha256 = "cc";
  after.files["C:\\App\\new.txt"] = {"file", 3, "2024-01-01 00:00:00.0000000", "dd", ""};
  after.registry["HKEY_CURRENT_USER\\Software\\Kova"] = {{"Kept", "\"one\""}, {"New", "dword:00000001"}, {"Same", "\"3\""}};
  after.registry["HKEY_CURRENT_USER\\Software\\New"] = {};

  std::vector<std::string> lines;
  for (const Difference& d : CompareSnapshots(before, after))
    lines.push_back(std::string(1, d.change) + " " + d.kind + " " + d.path + (d.name.empty() ? "" : " " + d.name) +
                    " [" + d.before + "|" + d.after + "]");
  std::vector<std::string> expected = {
      "~ file C:\\App\\a.txt [1 bytes, 2024-01-01 00:00:00.0000000, sha256 aa|1 bytes, 2024-01-01 00:00:00.0000000, sha256 cc]",
      "- file C:\\App\\gone.txt [2 bytes, 2024-01-01 00:00:00.0000000, sha256 bb|]",
      "+ file C:\\App\\new.txt [|3 bytes, 2024-01-01 00:00:00.0000000, sha256 dd]",
      "- key HKEY_CURRENT_USER\\Software\\Gone [|]",
      "- value HKEY_CURRENT_USER\\Software\\Gone [\"x\"|]",
      "~ value HKEY_CURRENT_USER\\Software\\Kova Kept [\"1\"|\"one\"]",
      "+ value HKEY_CURRENT_USER\\Software\\Kova New [|dword:00000001]",
      "- value HKEY_CURRENT_USER\\Software\\Kova Old [\"2\"|]",
      "+ key HKEY_CURRENT_USER\\Software\\New [|]",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(CompareSnapshots(after, after).empty());

  // A snapshot survives its JSON form.
  Snapshot back;
  std::string error;
  ASSERT_TRUE(SnapshotFromJson(nlohmann::json::parse(SnapshotToJson(after).dump()), back, error)) << error;
  EXPECT_TRUE(CompareSnapshots(after, back).empty());
  EXPECT_FALSE(SnapshotFromJson(nlohmann::json::parse("{\"files\": {}}"), back, error));
}

}  // namespace
}  // namespace kova::cli
