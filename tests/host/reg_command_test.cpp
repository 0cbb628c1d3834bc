// kova reg, run as a program: exit statuses, messages, and the exact
// REGEDIT4 text of export.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kova_tool.h"
#include "sandbox_fixture.h"

namespace kova {
namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class RegCommand : public testing::SandboxTest {
 protected:
  // Runs kova reg with the arguments; --root is the fixture's sandbox.
  Result Reg(const std::vector<std::string>& args, bool withRoot = true) {
    std::string command = Quote(KOVA_TOOL) + " reg";
    for (std::size_t i = 0; i < args.size(); ++i) {
      command += " " + Quote(args[i]);
      if (i == 0 && withRoot) command += " --root " + Quote(Root());
    }
    std::string out = Root() + "/.out";
    std::string err = Root() + "/.err";
    int raw = std::system((command + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
  }
};

TEST_F(RegCommand, ExportWritesRegedit4) {
  std::string key = "HKCU\\Software\\Kova Test";
  ASSERT_EQ(Reg({"set", key, "Text", "C:\\Program Files\\\"x\""}).status, 0);
  ASSERT_EQ(Reg({"set", key, "Number", "--type", "dword", "0x1f"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "Bytes", "--type=binary", "00,01,ff"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "List", "--type", "multi_sz", "a\\0b"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "Path", "--type", "expand_sz", "%WinDir%"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "@", "default"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "Lines", "one\r\ntwo"}).status, 0);
  ASSERT_EQ(Reg({"set", key + "\\Empty"}).status, 0);
  std::string longBytes;
  for (int i = 0; i < 30; ++i) longBytes += "ab";
  ASSERT_EQ(Reg({"set", "HKLM\\Software\\Kova", "Long", "--type", "binary", longBytes}).status, 0);

  Result user = Reg({"export", "hkey_current_user\\software\\kova test"});
  EXPECT_EQ(user.status, 0) << user.err;
  EXPECT_EQ(user.out,
            "REGEDIT4\r\n\r\n"
            "[HKEY_CURRENT_USER\\software\\kova test]\r\n"
            "\"Text\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n"
            "\"Number\"=dword:0000001f\r\n"
            "\"Bytes\"=hex:00,01,ff\r\n"
            "\"List\"=hex(7):61,00,62,00,00\r\n"
            "\"Path\"=hex(2):25,57,69,6e,44,69,72,25,00\r\n"
            "@=\"default\"\r\n"
            "\"Lines\"=\"one\\r\\ntwo\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\software\\kova test\\Empty]\r\n"
            "\r\n");

  Result all = Reg({"export", "-o", Root() + "/all.reg"});
  EXPECT_EQ(all.status, 0) << all.err;
  std::string text = ReadFile(Root() + "/all.reg");
  std::string wrapped =
      "[HKEY_LOCAL_MACHINE\\Software\\Kova]\r\n"
      "\"Long\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
      "  ab,ab,ab,ab,ab,ab,ab,ab\r\n";
  EXPECT_NE(text.find(wrapped), std::string::npos) << text;
  EXPECT_LT(text.find("[HKEY_LOCAL_MACHINE\\Software\\Kova]"), text.find("[HKEY_CURRENT_USER\\Software\\Kova Test]"));
  EXPECT_EQ(text.find("[HKEY_CLASSES_ROOT"), std::string::npos) << "the classes come with HKEY_LOCAL_MACHINE";
  EXPECT_EQ(text.find("[HKEY_USERS]"), std::string::npos) << "an empty root has no section";
}

TEST_F(RegCommand, QueryAndDelete) {
  ASSERT_EQ(Reg({"set", "HKCR\\.kvt", "", "KovaFile"}).status, 0);
  ASSERT_EQ(Reg({"set", "HKCR\\.kvt\\shell"}).status, 0);
  Result listing = Reg({"query", "HKCR\\.kvt"});
  EXPECT_EQ(listing.status, 0);
  EXPECT_EQ(listing.out,
            "HKEY_CLASSES_ROOT\\.kvt\n    (Default)    REG_SZ    KovaFile\n\nHKEY_CLASSES_ROOT\\.kvt\\shell\n");
  Result one = Reg({"query", "HKLM\\Software\\Classes\\.KVT", "@"});
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.out, "    (Default)    REG_SZ    KovaFile\n");

  Result missingValue = Reg({"query", "HKCR\\.kvt", "nope"});
  EXPECT_EQ(missingValue.status, 1);
  EXPECT_NE(missingValue.err.find("value 'nope': not found"), std::string::npos) << missingValue.err;

  EXPECT_EQ(Reg({"delete", "HKCR\\.kvt", "@"}).status, 0);
  EXPECT_EQ(Reg({"delete", "HKCR\\.kvt", "@"}).status, 1);
  EXPECT_EQ(Reg({"delete", "HKCR\\.kvt"}).status, 0) << "with its subkeys";
  Result gone = Reg({"query", "HKCR\\.kvt"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_NE(gone.err.find("HKEY_CLASSES_ROOT\\.kvt: not found"), std::string::npos) << gone.err;
  Result root = Reg({"delete", "HKLM"});
  EXPECT_EQ(root.status, 1);
  EXPECT_NE(root.err.find("root key"), std::string::npos) << root.err;
}

// Values that begin with a dash, after "--" or as a negative number, and a
// value named like a command: all of them are the command's arguments.
TEST_F(RegCommand, ArgumentsThatLookLikeOptionsOrCommands) {
  std::string key = "HKCU\\Software\\Dashes";
  ASSERT_EQ(Reg({"set", key, "Text", "--", "-abc"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "Number", "--type", "dword", "-1"}).status, 0);
  ASSERT_EQ(Reg({"set", key, "export", "query"}).status, 0);
  Result listing = Reg({"query", key});
  EXPECT_EQ(listing.status, 0) << listing.err;
  EXPECT_EQ(listing.out,
            "HKEY_CURRENT_USER\\Software\\Dashes\n"
            "    Text    REG_SZ    -abc\n"
            "    Number    REG_DWORD    0xffffffff\n"
            "    export    REG_SZ    query\n");
  Result one = Reg({"query", key, "--root=" + Root(), "export"}, false);
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out, "    export    REG_SZ    query\n");
}

// An export to a file is written whole or not at all: cut short by a file
// size limit, it leaves an earlier export as it was and no temporary file.
TEST_F(RegCommand, AFailedExportLeavesTheFileAsItWas) {
  std::string bytes;
  for (int i = 0; i < 40000; ++i) bytes += "ab";
  ASSERT_EQ(Reg({"set", "HKLM\\Software\\Big", "Bytes", "--type", "binary", bytes}).status, 0);
  std::filesystem::create_directories(Root() + "/out");
  { std::ofstream(Root() + "/out/all.reg") << "an earlier export"; }
  test::ToolRun run =
      test::RunKova({"reg", "export", "--root", Root(), "-o", "out/all.reg"}, test::InFolder(Root(), 100000));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot write 'out/all.reg'"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(Root() + "/out/all.reg"), "an earlier export");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Root() + "/out")) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(RegCommand, Errors) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"query", "HKCU"}, 1, "no sandbox registry at"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"set", "HKXX\\Software"}, 2, "does not begin with a root key"},
      {{"set", "HKCU\\x", "n", "--type", "dword", "12abc"}, 2, "'12abc' is not a 32-bit number"},
      {{"set", "HKCU\\x", "n", "--type", "binary", "0g"}, 2, "not a list of hex bytes"},
      {{"set", "HKCU\\x", "n", "--type", "qword", "1"}, 2, "unknown type 'qword'"},
      {{"set", "HKCU\\x", "--bogus"}, 2, "unknown option '--bogus'"},
      {{"set", "HKCU\\x", "--type"}, 2, "--type needs a value"},
      {{"export", "HKCU", "HKLM"}, 2, "at most one KEY"},
  };
  for (const Case& c : cases) {
    Result result = Reg(c.args);
    EXPECT_EQ(result.status, c.status) << c.args[0] << " " << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  EXPECT_FALSE(std::filesystem::exists(Database())) << "nothing above made a registry";

  Result help = Reg({"--help"}, false);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: kova reg"), std::string::npos);
}

}  // namespace
}  // namespace kova
