// The manifest reader: what a good manifest turns into, and a table of bad
// manifests with the error each must give (file, line and reason).
#include <gtest/gtest.h>

#include <fcntl.h>

#include "builder/ansi_text.h"
#include "builder/default_messages.h"
#include "builder/file_records.h"
#include "builder/flag_names.h"
#include "builder/manifest.h"
#include "builder_fixtures.h"
#include "format/install_script.h"

namespace kova::builder {
namespace {

using test::TempDir;

bool Parse(const TempDir& dir, const std::string& text, Manifest& manifest, std::string& error) {
  return ReadManifest(dir.Write("kova.toml", text), manifest, error);
}

TEST(Manifest, ReadsEveryFeature) {
  TempDir dir;
  dir.Write("app.exe", "MZ program");
  dir.Write("lib.dll", "shared library");
  dir.Write("font.ttf", "font");
  dir.Write("sys.dll", "system");
  dir.Write("licence.txt", "Line one\nLine two\n");
  dir.Write("pre.bat", "echo pre\n");
  dir.Write("icon.ico", test::IcoFile(9));
  // 2x1 24-bit bitmap with a gap between the header and the pixels.
  std::vector<u8> bmp(14 + 40 + 2 + 8, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  test::Put32(bmp, 10, 14 + 40 + 2);
  test::Put32(bmp, 14, 40);
  test::Put32(bmp, 18, 2);
  test::Put32(bmp, 22, 1);
  test::Put16(bmp, 26, 1);
  test::Put16(bmp, 28, 24);
  for (int i = 0; i < 6; ++i) bmp[14 + 40 + 2 + i] = static_cast<u8>(0x10 + i);
  dir.Write("back.bmp", bmp);

  Manifest m;
  std::string error;
  const char* text = R"toml(
[product]
name = "Café €"
publisher = "Acme"
version = "2.1"
install-dir = "%ProgramsDir%\\Acme"
shared-dir = "Acme Shared"
start-menu = "Acme Tools"
registry = "Acme\\App"
display-name = "Acme App"
master-product = "Acme Base"
flags = ["uninstall-support", "compressed-data", 0x40000]
excluded-systems = ["win32s", "nt3"]

[window]
title-color = "#FF8000"
top-color = "#000080"
background = "back.bmp"

[uninstaller]
file-name = "Remove.exe"
subdir = "Uninstall/Data"
stamp = 1999-12-31T23:59:58
icon = "icon.ico"

[batches]
pre-install = { file = "pre.bat", hidden = true }
uninstall-2 = "del x\nrem done"

[volumes]
size = 1457664
base-name = "ACME"
first-sequence = 77

[[license]]
file = "licence.txt"

[[readme]]
text = "Read me"

[messages]
0 = "<product> Installer"

[[language]]
name = "English"

[[language]]
name = "Deutsch"
[language.messages]
48 = "OK!"
100 = "extra"

[[file]]
source = "app.exe"
name = "bin/App.exe"
flags = ["desktop-shortcut", "programs-shortcut", "permanent"]
existing = "only-if-missing"
stamp = 2020-02-03T04:05:06
shortcut-name = "Acme App"
icon = "app.ico"
arguments = "/start"

[[file]]
source = "lib.dll"
type = "shared"
stamp = 2020-02-03

[[file]]
source = "font.ttf"
type = "font"
font-name = "Acme Sans (TrueType)"
stamp = "none"

[[file]]
source = "sys.dll"
type = 6
version = "1.2.3.4"

[[association]]
extension = "acme"
file-type = "Acme.Doc"
command = "\"%InstallDir%\\bin\\App.exe\" \"%1\""
flags = ["default-verb"]
language = "Deutsch"

[build]
compression = "fast"
)toml";
  ASSERT_TRUE(Parse(dir, text, m, error)) << error;
  const ScriptItems& s = m.script;
  EXPECT_EQ(s.productName, "Caf\xE9 \x80");  // code page 1252
  EXPECT_EQ(s.publisher, "Acme");
  EXPECT_EQ(s.defaultDir, "%ProgramsDir%\\Acme");
  EXPECT_EQ(s.productRegistry, "Acme\\App");
  EXPECT_EQ(s.masterProductName, "Acme Base");
  EXPECT_EQ(s.productFlags, format::kFlagUninstallSupport | format::kFlagCompressedData | format::kFlagVerifyFiles |
                                format::kFlagMasterProduct | format::kFlagCustomColors | format::kFlagHidePreBatch);
  EXPECT_EQ(s.excludedSystems, 0x11u);
  EXPECT_EQ(s.titleColor, 0x0080FFu);  // COLORREF is 0x00BBGGRR
  EXPECT_EQ(s.topColor, 0x800000u);
  EXPECT_EQ(s.bottomColor, 0x800000u);  // one colour given: no gradient
  // The packed bitmap: header, then the pixels without the gap.
  ASSERT_EQ(s.backgroundBitmap.size(), 40u + 8u);
  EXPECT_EQ(s.backgroundBitmap[40], 0x10);
  EXPECT_EQ(s.uninstallerFileName, "Remove.exe");
  EXPECT_EQ(s.uninstallSubdir, "Uninstall\\Data");
  EXPECT_TRUE(m.uninstallerStampGiven);
  EXPECT_EQ(s.uninstallerStamp.year, 1999);
  EXPECT_EQ(s.uninstallerStamp.second, 58);
  EXPECT_EQ(s.iconPatch, test::IconImage(9));
  EXPECT_EQ(s.preInstallBatch, "echo pre\r\n");
  EXPECT_EQ(s.uninstallBatch2, "del x\r\nrem done");
  EXPECT_EQ(m.volumeSize, 1457664u);
  EXPECT_EQ(s.volumeBaseName, "ACME");
  EXPECT_EQ(s.firstSequenceNumber, 77u);
  EXPECT_EQ(s.licensePages, std::vector<std::string>{"Line one\r\nLine two\r\n"});
  EXPECT_EQ(s.readmePages, std::vector<std::string>{"Read me"});
  ASSERT_EQ(m.level, CompressionLevel::kFast);

  // Languages: every one starts from the English table and takes [messages].
  ASSERT_EQ(s.languages.size(), 2u);
  EXPECT_EQ(s.messageCount, 101);
  EXPECT_EQ(s.languages[0].messages[0], "<product> Installer");
  EXPECT_EQ(s.languages[1].messages[0], "<product> Installer");
  EXPECT_EQ(s.languages[0].messages[48], "OK");
  EXPECT_EQ(s.languages[1].messages[48], "OK!");
  EXPECT_EQ(s.languages[1].messages[100], "extra");
  EXPECT_EQ(s.languages[0].messages[100], "");
  EXPECT_EQ(s.languages[0].messages[13], DefaultMessage(13));

  ASSERT_EQ(m.files.size(), 4u);
  const FileRecord& app = m.files[0].record;
  EXPECT_EQ(app.name, "bin\\App.exe");
  EXPECT_EQ(app.type, kFileTypeInstallDir);
  EXPECT_EQ(app.flags, kFileFlagDesktop | kFileFlagPrograms | kFileFlagPermanent | 0xCu);
  EXPECT_EQ(app.stamp.year, 2020);
  EXPECT_EQ(app.stamp.second, 6);
  EXPECT_EQ(app.text1, "Acme App");
  EXPECT_EQ(app.text2, "app.ico");
  EXPECT_EQ(app.text3, "/start");
  EXPECT_EQ(m.files[0].size, 10u);
  EXPECT_EQ(m.files[1].record.name, "lib.dll");
  EXPECT_EQ(m.files[1].record.type, kFileTypeShared);
  EXPECT_EQ(m.files[1].record.stamp.hour, 0);
  EXPECT_EQ(m.files[2].record.text1, "Acme Sans (TrueType)");
  EXPECT_FALSE(m.files[2].record.stamp.IsSet());
  EXPECT_EQ(m.files[3].record.type, kFileTypeSystem);
  EXPECT_EQ(m.files[3].record.text1, "1.2.3.4");
  EXPECT_TRUE(m.files[3].record.stamp.IsSet());  // the source file's time

  ASSERT_EQ(s.associations.size(), 1u);
  EXPECT_EQ(s.associations[0].extension, "acme");
  EXPECT_EQ(s.associations[0].verb, "open");
  EXPECT_EQ(s.associations[0].flags, 1u);
  EXPECT_EQ(s.associations[0].language, "Deutsch");
}

TEST(Manifest, MinimalManifestTakesTheDefaults) {
  TempDir dir;
  Manifest m;
  std::string error;
  ASSERT_TRUE(Parse(dir, "[product]\nname = \"Tiny\"\n", m, error)) << error;
  EXPECT_EQ(m.script.uninstallerFileName, "Uninstall.exe");
  ASSERT_EQ(m.script.languages.size(), 1u);
  EXPECT_EQ(m.script.languages[0].name, "English");
  EXPECT_EQ(m.script.messageCount, kDefaultMessageCount);
  EXPECT_FALSE(m.uninstallerStampGiven);
  EXPECT_FALSE(m.volumeBaseGiven);
  EXPECT_EQ(m.volumeSize, 0u);
  EXPECT_TRUE(m.files.empty());
}

struct BadManifest {
  const char* name;
  std::string text;
  std::string expected;  // a part of the error text
};

std::string Product(const std::string& rest = "") { return "[product]\nname = \"P\"\n" + rest; }

std::string ManyLanguages(int n) {
  std::string text = Product();
  for (int i = 0; i < n; ++i) text += "[[language]]\nname = \"L" + std::to_string(i) + "\"\n";
  return text;
}

std::string ManyPages(int n) {
  std::string text = Product();
  for (int i = 0; i < n; ++i) text += "[[license]]\ntext = \"page\"\n";
  return text;
}

TEST(Manifest, BadManifestsNameTheLineAndTheProblem) {
  TempDir dir;
  dir.Write("a.txt", "a");
  dir.Write("sub/b.txt", "b");
  dir.Write("not.bmp", "plain text");
  std::vector<u8> smallIcon = test::IcoFile(1);
  smallIcon[6] = 16;  // the directory says 16x16 and the image header disagrees with 32x32 too
  test::Put32(smallIcon, 22 + 4, 16);
  dir.Write("small.ico", smallIcon);
  {
    int fd = ::open(dir.Path("huge.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 0x40000001), 0);  // sparse: takes no disk space
    ::close(fd);
  }

  const BadManifest cases[] = {
      {"TOML syntax", "[product\nname = \"P\"\n", "kova.toml:1:"},
      {"no product table", "[window]\ntitle-color = \"#000000\"\n", "no [product] table"},
      {"no product name", "[product]\npublisher = \"X\"\n", "[product] needs a 'name'"},
      {"unknown key", Product("nmae = \"x\"\n"), "kova.toml:3:1: unknown key 'nmae' in [product]"},
      {"unknown table", Product("[prodcut]\n"), "kova.toml:3:2: unknown key 'prodcut' in the manifest"},
      {"wrong value type", Product("version = 1\n"), "kova.toml:3:11: 'version' in [product] must be a string, not an integer"},
      {"unknown flag", Product("flags = [\"uninstall-suport\"]\n"), "kova.toml:3:10: 'flags' in [product]: unknown name 'uninstall-suport'"},
      {"flag number too large", Product("flags = [0x100000000]\n"), "is not a 32-bit value"},
      {"unknown system", Product("excluded-systems = [\"win7\"]\n"), "unknown name 'win7' (known names: win32s"},
      {"percent in product name", "[product]\nname = \"100% Tools\"\n", "kova.toml:2:8: the product name may not contain '%'"},
      {"blank product name", "[product]\nname = \"  \"\n", "the product name is blank"},
      {"character outside code page 1252", "[product]\nname = \"Snow \u2603\"\n", "U+2603 has no place in the ANSI code page 1252"},
      {"missing source", Product("[[file]]\nsource = \"missing.txt\"\n"), "kova.toml:4:10: the source file"},
      {"source is a directory", Product("[[file]]\nsource = \"sub\"\n"), "is not a regular file"},
      {"file over 1 GiB", Product("[[file]]\nsource = \"huge.bin\"\n"), "an installer holds files of at most 1 GiB"},
      {"file table written once", Product("[file]\nsource = \"a.txt\"\n"), "'file' must be written as [[file]] tables"},
      {"no source", Product("[[file]]\nname = \"x\"\n"), "[[file]] needs a 'source'"},
      {"unknown file key", Product("[[file]]\nsource = \"a.txt\"\nsorce = \"a.txt\"\n"), "kova.toml:5:1: unknown key 'sorce' in [[file]]"},
      {"unknown type", Product("[[file]]\nsource = \"a.txt\"\ntype = \"fonts\"\n"), "unknown type 'fonts' (known types: install-dir, shared"},
      {"unknown type number", Product("[[file]]\nsource = \"a.txt\"\ntype = 2\n"), "the type 2 is not one the installer knows"},
      {"name escapes", Product("[[file]]\nsource = \"a.txt\"\nname = \"..\\\\evil.txt\"\n"), "kova.toml:5:8: [[file]] 'a.txt': the target name '..\\evil.txt' is not a safe relative path"},
      {"name with drive", Product("[[file]]\nsource = \"a.txt\"\nname = \"C:\\\\evil.txt\"\n"), "a colon (drive letter or stream name)"},
      {"absolute name", Product("[[file]]\nsource = \"a.txt\"\nname = \"/etc/x\"\n"), "the name is an absolute path"},
      {"unknown file flag", Product("[[file]]\nsource = \"a.txt\"\nflags = [\"desktop\"]\n"), "unknown name 'desktop' (known names: desktop-shortcut"},
      {"unknown existing mode", Product("[[file]]\nsource = \"a.txt\"\nexisting = \"sometimes\"\n"), "unknown existing-file mode 'sometimes'"},
      {"mode given twice", Product("[[file]]\nsource = \"a.txt\"\nflags = [8]\nexisting = \"never\"\n"), "the existing-file mode is given twice"},
      {"shortcut of a shared file", Product("[[file]]\nsource = \"a.txt\"\ntype = \"shared\"\nflags = [\"desktop-shortcut\"]\n"), "shortcuts are made only for files of type install-dir and startup"},
      {"icon without shortcut", Product("[[file]]\nsource = \"a.txt\"\nicon = \"a.ico\"\n"), "'icon' needs the desktop-shortcut or programs-shortcut flag"},
      {"version of an install-dir file", Product("[[file]]\nsource = \"a.txt\"\nversion = \"1.0\"\n"), "'version' applies only to files of type system"},
      {"font without a name", Product("[[file]]\nsource = \"a.txt\"\ntype = \"font\"\n"), "a font needs its 'font-name'"},
      {"stamp with an offset", Product("[[file]]\nsource = \"a.txt\"\nstamp = 2020-01-01T00:00:00Z\n"), "without a time zone offset"},
      {"stamp of the wrong type", Product("[[file]]\nsource = \"a.txt\"\nstamp = 2020\n"), "must be a local date and time"},
      {"21 licence pages", ManyPages(21), "kova.toml:43:1: too many [[license]] pages"},
      {"page with text and file", Product("[[readme]]\ntext = \"x\"\nfile = \"a.txt\"\n"), "has both 'text' and 'file'"},
      {"page without text", Product("[[readme]]\n"), "needs 'text' or 'file'"},
      {"page file missing", Product("[[license]]\nfile = \"nope.txt\"\n"), "cannot open"},
      {"message key not a number", Product("[messages]\nwelcome = \"Hi\"\n"), "kova.toml:4:1: message keys are message numbers from 0 to 9999, not 'welcome'"},
      {"message number 10000", Product("[messages]\n10000 = \"x\"\n"), "not '10000'"},
      {"message with wrong arguments", Product("[messages]\n19 = \"%d bytes\"\n"), "message 19 gets the arguments %s, %c, %s in this order"},
      {"message with a stray percent", Product("[messages]\n1 = \"50% off\"\n"), "message 1 gets no arguments"},
      {"message with a width", Product("[messages]\n12 = \"%10s\"\n"), "message 12 gets the arguments %s"},
      {"256 languages", ManyLanguages(256), "too many languages: an installer holds at most 255"},
      {"blank language name", Product("[[language]]\nname = \"\"\n"), "the language name is blank"},
      {"bad colour", Product("[window]\ntop-color = \"#12345\"\n"), "write a colour as \"#RRGGBB\""},
      {"background not a bitmap", Product("[window]\nbackground = \"not.bmp\"\n"), "not a bitmap file (.bmp)"},
      {"icon of the wrong size", Product("[uninstaller]\nicon = \"small.ico\"\n"), "has no 32x32 image with 256 colours"},
      {"uninstaller name with a folder", Product("[uninstaller]\nfile-name = \"bin\\\\u.exe\"\n"), "'file-name' in [uninstaller] must be a plain file name"},
      {"uninstall subdir escapes", Product("[uninstaller]\nsubdir = \"..\"\n"), "must be a folder below the installation directory"},
      {"volume size too small", Product("[volumes]\nsize = 100\n"), "4096 to 2147483647"},
      {"blank volume base name", Product("[volumes]\nbase-name = \" \"\n"), "'base-name' in [volumes] must be a plain file name"},
      {"unknown batch", Product("[batches]\npost-install = \"x\"\n"), "unknown key 'post-install' in [batches]"},
      {"association without command", Product("[[association]]\nextension = \".x\"\n"), "[[association]] needs a 'command'"},
      {"unknown compression", Product("[build]\ncompression = \"max\"\n"), "is \"fast\" or \"best\""},
  };
  for (const BadManifest& c : cases) {
    SCOPED_TRACE(c.name);
    Manifest m;
    std::string error;
    EXPECT_FALSE(Parse(dir, c.text, m, error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << "error: " << error;
    EXPECT_EQ(error.rfind(dir.Path("kova.toml"), 0), 0u) << "error does not start with the manifest's path: " << error;
  }
}

TEST(MessageFormat, ConversionsMustFitTheArguments) {
  struct Case {
    int number;
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {19, "%s needed, %c: has %s", true},
      {19, "need %s on %c:", true},  // fewer arguments are safe
      {19, "%s %s", false},          // wrong order
      {19, "%s %c %s %s", false},    // one too many
      {26, "Disk %d in %c:", true},
      {26, "Disk %s", false},
      {13, "Code %d", true},
      {13, "Code %ld", false},
      {0, "100%% sure", true},
      {0, "100% sure", false},
      {0, "trailing %", false},
      {5000, "anything %n goes beyond the table", true},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(CheckMessageFormat(c.number, c.text, why), c.ok) << c.number << " " << c.text << ": " << why;
  }
  // The built-in table passes its own check.
  for (int n = 0; n < kDefaultMessageCount; ++n) {
    std::string why;
    EXPECT_TRUE(CheckMessageFormat(n, DefaultMessage(n), why)) << n << ": " << why;
  }
  // Pages are blank by default, so no installer shows an empty licence.
  EXPECT_STREQ(DefaultMessage(63), "");
  EXPECT_STREQ(DefaultMessage(64), "");
}

TEST(RecordName, OnlySafeRelativePathsPass) {
  struct Case {
    const char* name;
    bool ok;
  };
  const Case cases[] = {
      {"a.txt", true},        {"dir\\a.txt", true},    {"dir/a.txt", true},      {"a..b.txt", true},
      {"", false},            {"..", false},           {"..\\a", false},         {"a/../b", false},
      {"a\\..", false},       {".\\a", false},         {"...", false},           {". .\\a", false},
      {"\\a", false},         {"/a", false},           {"\\\\server\\a", false}, {"C:a", false},
      {"C:\\a", false},       {"a:stream", false},     {"a\\\\b", false},        {"a\\", false},
      {"a?.txt", false},      {"a\x01.txt", false},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(CheckRecordName(c.name, why), c.ok) << "'" << c.name << "' " << why;
  }
}

TEST(AnsiText, ConvertsCodePage1252BothWays) {
  std::string ansi, error;
  ASSERT_TRUE(Utf8ToAnsi("\xEF\xBB\xBF" "A\xC3\xA9\xE2\x82\xAC\xE2\x80\x94", ansi, error));  // BOM, A, é, €, —
  EXPECT_EQ(ansi, "A\xE9\x80\x97");
  EXPECT_EQ(AnsiToUtf8(ansi), "A\xC3\xA9\xE2\x82\xAC\xE2\x80\x94");
  EXPECT_FALSE(Utf8ToAnsi("\xC3", ansi, error));          // cut short
  EXPECT_FALSE(Utf8ToAnsi("\xC0\xAF", ansi, error));      // overlong
  EXPECT_FALSE(Utf8ToAnsi("\xE4\xB8\x80", ansi, error));  // U+4E00
  EXPECT_EQ(ToCrLf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
}

TEST(FlagNames, NamesAndBitsRoundTrip) {
  for (const NamedValue& flag : ProductFlagNames()) {
    EXPECT_EQ(LookupName(ProductFlagNames(), flag.name), flag.value);
    EXPECT_EQ(NamesOfBits(ProductFlagNames(), flag.value), std::vector<std::string>{flag.name});
  }
  EXPECT_EQ(NamesOfBits(ProductFlagNames(), 0x24 | 0x40000000u),
            (std::vector<std::string>{"uninstall-support", "compressed-data", "0x40000000"}));
}

}  // namespace
}  // namespace kova::builder
