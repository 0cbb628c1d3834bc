// `kova inspect` as text and as JSON, byte for byte, over installers that
// show every part of the report: the Hello example, one with volumes, one
// whose file data is damaged, one whose install script is damaged, and a
// program without an archive. The expected reports are files under
// tests/host/expected/inspect/.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/installer_reader.h"
#include "builder_fixtures.h"
#include "expected_output.h"
#include "kova_tool.h"

namespace kova {
namespace {

using test::RunKova;
using test::TempDir;
using test::ToolRun;

const char* kVolumesManifest = R"(
[product]
name = "Volumes"
flags = ["compressed-data"]
[uninstaller]
stamp = 2020-02-02T20:20:20
[volumes]
size = 10000
[[file]]
source = "noise.bin"
stamp = 2020-01-01T00:00:00
[[file]]
source = "note.txt"
name = "Notes\\Note.txt"
type = "system"
version = "1.2.3.4"
stamp = 2020-01-01T00:00:01
)";

// Texts that need escaping in both forms (quotes, backslashes, control
// characters, letters beyond ASCII), a master product, a font, a file
// without a stamp and a second language.
const char* kTextsManifest = R"(
[product]
name = "Quote \"Q\" and back\\slash"
publisher = "Caf\u00e9 \u00c5ngstr\u00f6m"
version = "tab\there"
master-product = "Base"
registry = "Ctrl\u0001\u0008\u000c\u001f"
[uninstaller]
stamp = 2020-02-02T20:20:20
[batches]
pre-install = "echo one\necho two"
[[readme]]
text = "Line one\r\nLine two"
[[language]]
name = "English"
[[language]]
name = "Fran\u00e7ais"
[language.messages]
0 = "Installation de <product>"
[[file]]
source = "font.ttf"
type = "font"
font-name = "Sans \"Round\""
stamp = 2020-01-01T00:00:00
[[file]]
source = "note.txt"
type = "shared"
stamp = "none"
)";

// Noise that does not compress, the same in every run.
std::string Noise(std::size_t size) {
  std::string bytes(size, '\0');
  u32 state = 12345;
  for (char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<char>(state >> 16);
  }
  return bytes;
}

// Flips one byte of a file.
void Damage(const TempDir& dir, const std::string& name, std::size_t at) {
  std::vector<u8> bytes = dir.Read(name);
  ASSERT_LT(at, bytes.size());
  bytes[at] ^= 0x5A;
  dir.Write(name, bytes);
}

class InspectOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("stub.exe", test::MakeStub());
    ToolRun built =
        RunKova({"build", KOVA_SOURCE_DIR "/examples/hello/kova.toml", "-o", "hello.exe", "--stub", "stub.exe", "-q"},
                test::InFolder(dir_.Path()));
    ASSERT_EQ(built.status, 0) << built.err;
  }

  // Both reports of an installer against expected/inspect/<name>.{txt,json}.
  void ExpectReports(const std::string& installer, const std::string& name, int status, const std::string& err) {
    ToolRun text = RunKova({"inspect", installer}, test::InFolder(dir_.Path()));
    EXPECT_EQ(text.status, status) << name;
    EXPECT_EQ(text.err, err) << name;
    test::ExpectMatchesFile("inspect/" + name + ".txt", text.out);
    ToolRun json = RunKova({"inspect", "--json", installer}, test::InFolder(dir_.Path()));
    EXPECT_EQ(json.status, status) << name;
    EXPECT_EQ(json.err, err) << name;
    test::ExpectMatchesFile("inspect/" + name + ".json", json.out);
  }

  // Where the archive section starts and what its header says.
  builder::InstallerContents Contents(const std::string& name) {
    builder::InstallerContents contents;
    std::string error;
    EXPECT_TRUE(builder::ReadInstaller(dir_.Path(name), contents, error)) << error;
    return contents;
  }

  TempDir dir_;
};

TEST_F(InspectOutput, SoundInstallers) {
  ExpectReports("hello.exe", "hello", 0, "");

  dir_.Write("noise.bin", Noise(30000));
  dir_.Write("note.txt", "a note\r\n");
  std::vector<builder::OutputFile> outputs;
  ASSERT_EQ(test::Build(dir_, kVolumesManifest, outputs), "");
  std::string error;
  ASSERT_TRUE(builder::WriteFilesAtomically(outputs, error)) << error;
  ASSERT_GE(outputs.size(), 3u);
  ExpectReports("out/setup.exe", "volumes", 0, "");

  TempDir texts;
  texts.Write("font.ttf", std::string(300, 'f'));
  texts.Write("note.txt", "note");
  std::vector<builder::OutputFile> textOutputs;
  ASSERT_EQ(test::Build(texts, kTextsManifest, textOutputs), "");
  ASSERT_TRUE(builder::WriteFilesAtomically(textOutputs, error)) << error;
  dir_.Write("texts.exe", texts.Read("out/setup.exe"));
  ExpectReports("texts.exe", "texts", 0, "");
}

// A file name from the host need not be UTF-8; the JSON stays valid JSON.
TEST_F(InspectOutput, AFileNameThatIsNotUtf8) {
  const std::string name = "caf\xE9.exe";
  dir_.Write(name, dir_.Read("hello.exe"));
  ToolRun json = RunKova({"inspect", "--json", name}, test::InFolder(dir_.Path()));
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"path\": \"caf\xEF\xBF\xBD.exe\""), std::string::npos) << json.out.substr(0, 200);
  ToolRun text = RunKova({"inspect", name}, test::InFolder(dir_.Path()));
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out.rfind("Installer            " + name + " (", 0), 0u) << text.out.substr(0, 200);
}

TEST_F(InspectOutput, DamagedInstallers) {
  builder::InstallerContents hello = Contents("hello.exe");
  ASSERT_TRUE(hello.Ok());
  std::size_t section = hello.archive.layout.rawPointer;
  std::size_t archiveEnd = static_cast<std::size_t>(hello.archive.header.archiveEnd);

  dir_.Write("data.exe", dir_.Read("hello.exe"));
  Damage(dir_, "data.exe", section + archiveEnd - 3);  // in the file data
  ExpectReports("data.exe", "damaged-data", 1,
                "kova inspect: data.exe: corrupt archive: error code " + std::to_string(Contents("data.exe").code) +
                    " (" + builder::CorruptCodeMeaning(Contents("data.exe").code) + ")\n");

  dir_.Write("script.exe", dir_.Read("hello.exe"));
  Damage(dir_, "script.exe", section + 0x200);  // in the install script block
  builder::InstallerContents script = Contents("script.exe");
  EXPECT_TRUE(script.headerRead);
  EXPECT_FALSE(script.scriptRead);
  ExpectReports("script.exe", "damaged-script", 1,
                "kova inspect: script.exe: " + builder::DescribeVerdict(script) + "\n");

  ExpectReports("stub.exe", "no-archive", 1,
                "kova inspect: stub.exe: " + builder::DescribeVerdict(Contents("stub.exe")) + "\n");
}

}  // namespace
}  // namespace kova
