// A build that fails writes nothing: neither the installer nor a volume nor
// a temporary file stays in the output folder, and what was there before is
// left as it was. The failures are real ones: a manifest error, a folder
// that is missing or is a file, a directory where an output or a volume
// goes, a folder without write permission, and writes cut short by a file
// size limit as a full disk would cut them.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "builder/host_files.h"
#include "builder_fixtures.h"
#include "kova_tool.h"

namespace kova {
namespace {

using test::RunKova;
using test::TempDir;
using test::ToolRun;

const char* kManifest = R"(
[product]
name = "Out"
[uninstaller]
stamp = 2020-02-02T20:20:20
[[file]]
source = "noise.bin"
stamp = 2020-01-01T00:00:00
)";

const char* kVolumesManifest = R"(
[product]
name = "Out"
[uninstaller]
stamp = 2020-02-02T20:20:20
[volumes]
size = 10000
[[file]]
source = "noise.bin"
stamp = 2020-01-01T00:00:00
)";

std::vector<u8> Noise(std::size_t size) {
  std::vector<u8> bytes(size);
  u32 state = 99;
  for (u8& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<u8>(state >> 16);
  }
  return bytes;
}

// Every entry below a folder: a file's contents when short, else its size.
std::map<std::string, std::string> Listing(const std::string& folder) {
  std::map<std::string, std::string> entries;
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ec)) {
    std::string name = entry.path().lexically_relative(folder).string();
    std::string bytes = entry.is_regular_file() ? test::ReadTextFile(entry.path().string()) : "<folder>";
    entries[name] = bytes.size() <= 64 ? bytes : std::to_string(bytes.size()) + " bytes";
  }
  return entries;
}

struct FailedBuild {
  const char* what;
  const char* manifest;
  std::function<void(const TempDir&)> prepare;  // sets the trap in out/
  std::string output;                           // -o, relative to the test folder
  long long fileSizeLimit;
  const char* message;  // a part of the error
};

TEST(BuildOutput, AFailedBuildLeavesTheOutputFolderAsItWas) {
  auto nothing = [](const TempDir&) {};
  auto oldInstaller = [](const TempDir& dir) { dir.Write("out/setup.exe", "the installer of an earlier build"); };
  const FailedBuild cases[] = {
      {"manifest error", "[product]\nname = \"Out\"\ncolour = 1\n", oldInstaller, "out/setup.exe", -1, "colour"},
      {"missing folder", kManifest, nothing, "out/gone/setup.exe", -1, "cannot create a temporary file"},
      {"folder is a file", kManifest, [](const TempDir& dir) { dir.Write("out/plain", "x"); }, "out/plain/setup.exe",
       -1, "cannot create a temporary file"},
      {"output is a folder", kManifest,
       [](const TempDir& dir) { std::filesystem::create_directories(dir.Path("out/setup.exe/inside")); },
       "out/setup.exe", -1, "setup.exe"},
      {"a volume's name is a folder", kVolumesManifest,
       [](const TempDir& dir) {
         dir.Write("out/setup.exe", "the installer of an earlier build");
         std::filesystem::create_directories(dir.Path("out/setup3.KVA"));
       },
       "out/setup.exe", -1, "setup3.KVA"},
      {"write cut short", kManifest, oldInstaller, "out/setup.exe", 4096, "cannot write"},
      {"write cut short with volumes", kVolumesManifest, oldInstaller, "out/setup.exe", 4096, "cannot write"},
      {"folder without write permission", kManifest,
       [](const TempDir& dir) {
         dir.Write("out/setup.exe", "the installer of an earlier build");
         std::filesystem::permissions(dir.Path("out"), std::filesystem::perms::owner_write,
                                      std::filesystem::perm_options::remove);
       },
       "out/setup.exe", -1, "cannot create a temporary file"},
  };
  for (const FailedBuild& c : cases) {
    if (std::string(c.what) == "folder without write permission" && ::geteuid() == 0) continue;  // root writes anyway
    TempDir dir;
    dir.Write("stub.exe", test::MakeStub());
    dir.Write("noise.bin", Noise(40000));
    dir.Write("kova.toml", c.manifest);
    std::filesystem::create_directories(dir.Path("out"));
    c.prepare(dir);
    std::map<std::string, std::string> before = Listing(dir.Path("out"));

    ToolRun run = RunKova({"build", "kova.toml", "-o", c.output, "--stub", "stub.exe"},
                          test::InFolder(dir.Path(), c.fileSizeLimit));
    EXPECT_EQ(run.status, 1) << c.what << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << "\n" << run.err;
    EXPECT_EQ(Listing(dir.Path("out")), before) << c.what;
    std::filesystem::permissions(dir.Path("out"), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
  }
}

TEST(BuildOutput, TheSameBuildSucceedsWithoutTheTrap) {
  TempDir dir;
  dir.Write("stub.exe", test::MakeStub());
  dir.Write("noise.bin", Noise(40000));
  dir.Write("kova.toml", kVolumesManifest);
  std::filesystem::create_directories(dir.Path("out"));
  ToolRun run =
      RunKova({"build", "kova.toml", "-o", "out/setup.exe", "--stub", "stub.exe", "-q"}, test::InFolder(dir.Path()));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  std::map<std::string, std::string> written = Listing(dir.Path("out"));
  ASSERT_GE(written.size(), 3u);
  for (const auto& [name, bytes] : written) EXPECT_TRUE(name == "setup.exe" || name.ends_with(".KVA")) << name;
}

// The writer on its own: the second of two files cannot be written whole,
// and the first one's temporary file goes too. Run in a child process, which
// the file size limit applies to.
TEST(BuildOutput, WriteFilesAtomicallyRemovesEveryTemporaryFile) {
  TempDir dir;
  std::vector<builder::OutputFile> files = {{dir.Path("setup.exe"), std::vector<u8>(100, 1), {}},
                                            {dir.Path("setup2.KVA"), std::vector<u8>(5000, 2), {}}};
  auto writeUnderALimit = [&files]() {
    struct rlimit limit = {1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    std::string error;
    bool written = builder::WriteFilesAtomically(files, error);
    ::_exit(!written && error.find("cannot write '" + files[1].path + "'") != std::string::npos ? 3 : 4);
  };
  EXPECT_EXIT(writeUnderALimit(), ::testing::ExitedWithCode(3), "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace kova
