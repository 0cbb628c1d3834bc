// The kova command line as users meet it: every command's help text, and
// the exact messages and exit statuses of the usual mistakes (no arguments,
// an unknown option, an option without its value, one argument too many, an
// unknown command). `kova run` hands everything after the installer's path
// to the installer, options of its own included.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder_fixtures.h"
#include "expected_output.h"
#include "kova_tool.h"

namespace kova {
namespace {

using test::Expected;
using test::RunKova;
using test::TempDir;
using test::ToolRun;

const char* const kCommands[] = {"kova", "build", "inspect", "extract", "run", "reg"};

// The help text of a command ("kova" for the tool's own).
std::string Usage(const std::string& command) { return Expected("usage/" + command + ".txt"); }

TEST(CommandLine, HelpTexts) {
  for (const std::string command : kCommands) {
    std::vector<std::string> args;
    if (command != "kova") args.push_back(command);
    args.push_back("--help");
    ToolRun run = RunKova(args);
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.err, "") << command;
    test::ExpectMatchesFile("usage/" + command + ".txt", run.out);
    args.back() = "-h";
    ToolRun shortForm = RunKova(args);
    EXPECT_EQ(shortForm.status, 0) << command;
    EXPECT_EQ(shortForm.out, run.out) << command;
  }
}

struct Case {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

void ExpectCases(const std::vector<Case>& cases) {
  TempDir dir;  // the working folder: nothing may appear in it
  for (const Case& c : cases) {
    std::string line = "kova";
    for (const std::string& a : c.args) line += " " + a;
    ToolRun run = RunKova(c.args, test::InFolder(dir.Path()));
    EXPECT_EQ(run.status, c.status) << line;
    EXPECT_EQ(run.out, c.out) << line;
    EXPECT_EQ(run.err, c.err) << line;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "a usage error wrote something";
}

TEST(CommandLine, TheToolItself) {
  const std::string usage = Usage("kova");
  const std::string version = std::string("kova ") + KOVA_VERSION + "\n";
  ExpectCases({
      {{}, 2, "", usage},
      {{"help"}, 0, usage, ""},
      {{"-V"}, 0, version, ""},
      {{"--version"}, 0, version, ""},
      {{"-V", "build"}, 0, version, ""},
      {{"frob"}, 2, "", "kova: unknown command 'frob'\n\n" + usage},
      {{"-x"}, 2, "", "kova: unknown command '-x'\n\n" + usage},
      {{"Build"}, 2, "", "kova: unknown command 'Build'\n\n" + usage},
  });
}

TEST(CommandLine, BuildInspectExtract) {
  const std::string build = Usage("build"), inspect = Usage("inspect"), extract = Usage("extract");
  ExpectCases({
      {{"build"}, 2, "", "kova build: no manifest given\n\n" + build},
      {{"build", "--bogus"}, 2, "", "kova build: unknown option '--bogus'\n\n" + build},
      {{"build", "-V"}, 2, "", "kova build: unknown option '-V'\n\n" + build},
      {{"build", "a.toml", "-o"}, 2, "", "kova build: -o needs a value\n"},
      {{"build", "a.toml", "--output"}, 2, "", "kova build: --output needs a value\n"},
      {{"build", "a.toml", "-qo"}, 2, "", "kova build: -o needs a value\n"},
      {{"build", "a.toml", "-o", "x.exe", "--stub"}, 2, "", "kova build: --stub needs a value\n"},
      {{"build", "a.toml", "--level"}, 2, "", "kova build: --level needs a value\n"},
      {{"build", "a.toml", "--level", "quick"}, 2, "", "kova build: --level is fast or best, not 'quick'\n"},
      {{"build", "a.toml", "b.toml"}, 2, "", "kova build: more than one manifest given ('b.toml')\n"},
      {{"build", "a.toml"}, 2, "", "kova build: no output given (-o)\n\n" + build},
      {{"build", "-o", "x.exe", "-q"}, 2, "", "kova build: no manifest given\n\n" + build},
      {{"build", "--help", "--bogus"}, 0, build, ""},

      {{"inspect"}, 2, "", "kova inspect: no installer given\n\n" + inspect},
      {{"inspect", "--bogus"}, 2, "", "kova inspect: unknown option '--bogus'\n\n" + inspect},
      {{"inspect", "-V"}, 2, "", "kova inspect: unknown option '-V'\n\n" + inspect},
      {{"inspect", "a.exe", "--save-script"}, 2, "", "kova inspect: --save-script needs a path\n"},
      {{"inspect", "a.exe", "--save-uninstaller"}, 2, "", "kova inspect: --save-uninstaller needs a path\n"},
      {{"inspect", "a.exe", "b.exe"}, 2, "", "kova inspect: more than one installer given ('b.exe')\n"},
      {{"inspect", "--json"}, 2, "", "kova inspect: no installer given\n\n" + inspect},

      {{"extract"}, 2, "", "kova extract: no installer given\n\n" + extract},
      {{"extract", "--bogus"}, 2, "", "kova extract: unknown option '--bogus'\n\n" + extract},
      {{"extract", "-V"}, 2, "", "kova extract: unknown option '-V'\n\n" + extract},
      {{"extract", "a.exe", "-o"}, 2, "", "kova extract: -o needs a directory\n"},
      {{"extract", "a.exe", "b.exe", "-o", "out"}, 2, "", "kova extract: more than one installer given ('b.exe')\n"},
      {{"extract", "a.exe"}, 2, "", "kova extract: no directory given (-o)\n\n" + extract},
  });
}

TEST(CommandLine, RunAndReg) {
  const std::string run = Usage("run"), reg = Usage("reg");
  const std::string regHint = "\nRun 'kova reg --help' for the commands and options.\n";
  ExpectCases({
      {{"run"}, 2, "", run},
      {{"run", "--root", "sandbox"}, 2, "", run},
      {{"run", "--root"}, 2, "", "kova run: --root needs a folder\n"},
      {{"run", "--bogus"}, 2, "", "kova run: cannot read --bogus\n"},
      {{"run", "-V"}, 2, "", "kova run: cannot read -V\n"},
      {{"run", "missing.exe", "/a"}, 2, "", "kova run: cannot read missing.exe\n"},

      {{"reg"}, 2, "", reg},
      {{"reg", "--root", "sandbox"}, 2, "", reg},
      {{"reg", "export", "--help"}, 0, reg, ""},
      {{"reg", "--bogus"}, 2, "", "kova reg: unknown option '--bogus'" + regHint},
      {{"reg", "-V"}, 2, "", "kova reg: unknown option '-V'" + regHint},
      {{"reg", "frob"}, 2, "", "kova reg: unknown command 'frob'" + regHint},
      {{"reg", "frob", "export"}, 2, "", "kova reg: unknown command 'frob'" + regHint},
      {{"reg", "export", "--root"}, 2, "", "kova reg: --root needs a value" + regHint},
      {{"reg", "export", "-o"}, 2, "", "kova reg: -o needs a value" + regHint},
      {{"reg", "export", "--output"}, 2, "", "kova reg: --output needs a value" + regHint},
      {{"reg", "set", "HKCU\\x", "--type"}, 2, "", "kova reg: --type needs a value" + regHint},
      {{"reg", "export", "HKCU", "HKLM"}, 2, "", "kova reg: export takes at most one KEY" + regHint},
      {{"reg", "query"}, 2, "", "kova reg: query takes KEY and at most one NAME" + regHint},
      {{"reg", "query", "HKCU", "a", "b"}, 2, "", "kova reg: query takes KEY and at most one NAME" + regHint},
      {{"reg", "set"}, 2, "", "kova reg: set takes KEY [NAME [DATA]]" + regHint},
      {{"reg", "set", "HKCU\\x", "n", "d", "e"}, 2, "", "kova reg: set takes KEY [NAME [DATA]]" + regHint},
      {{"reg", "delete"}, 2, "", "kova reg: delete takes KEY and at most one NAME" + regHint},
      {{"reg", "set", "HKCU\\x", "n", "--type", "qword", "1"}, 2, "", "kova reg: unknown type 'qword'" + regHint},
  });
}

// What the installer was given shows in what it did: an installation into
// the /d folder (a folder with a space as on Windows, /d:"C:\Program Files",
// whether the shell kept the quotes or not), the uninstall role for -u:x
// (nothing installed, no question), and its own usage box for a switch it
// does not know.
TEST(CommandLine, RunPassesEverythingAfterTheInstallerToIt) {
  TempDir dir;
  dir.Write("hello.txt", "hello");
  std::string setup = test::BuildAndWrite(dir, R"(
[product]
name = "Pass"
install-dir = "C:\\Pass"
[[file]]
source = "hello.txt"
)");
  ASSERT_FALSE(setup.empty());
  auto illegal = [](const std::string& atom) {
    return "\n[FATAL ERROR]\nIllegal command line atom:\n" + atom +
           "\n\nUsage:\nsetup.exe [/a] [/d:<dir>] [/n:<name>] [/u:<name>]\n\n/a\tAutomatic mode\n"
           "/d:\"dir\"\tOverride installation directory\n/n:\"name\"\tOverride product name\n"
           "/u:\"name\"\tUninstall product by name\n[OK]\n";
  };
  struct PassCase {
    std::vector<std::string> switches;
    int status;
    std::string installed;  // a file the installation made, "" for none
    std::string err;        // a part of standard error
  } cases[] = {
      {{"/a", "/d:C:\\Dest"}, 0, "drive_c/Dest/hello.txt", ""},
      {{"-A", "/d:C:\\Two"}, 0, "drive_c/Two/hello.txt", ""},
      {{"/a", "/d:C:\\Program Files\\Pass"}, 0, "drive_c/Program Files/Pass/hello.txt", ""},
      {{"/a", "-D:\"C:\\Quoted Words\""}, 0, "drive_c/Quoted Words/hello.txt", ""},
      {{"/a", "-u:x"}, 0, "", ""},
      {{"-h"}, 1, "", illegal("h")},
      {{"/a", "--root", "elsewhere"}, 1, "", illegal("-root")},
      {{"/a", "-V"}, 1, "", illegal("V")},
      {{"/a", "-u"}, 1, "", "Product name required"},
  };
  int n = 0;
  for (const PassCase& c : cases) {
    std::string root = dir.Path("root" + std::to_string(n++));
    std::vector<std::string> args = {"run", "--root", root, setup};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    ToolRun run = RunKova(args);
    std::string line = c.switches[0] + " " + (c.switches.size() > 1 ? c.switches[1] : "");
    EXPECT_EQ(run.status, c.status) << line << "\n" << run.err;
    if (c.installed.empty()) {
      EXPECT_FALSE(std::filesystem::exists(root + "/drive_c/Pass")) << line;
    } else {
      EXPECT_TRUE(std::filesystem::exists(root + "/" + c.installed)) << line << "\n" << run.err;
    }
    EXPECT_NE(run.err.find(c.err), std::string::npos) << line << "\n" << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("elsewhere")));
  }
}

}  // namespace
}  // namespace kova
