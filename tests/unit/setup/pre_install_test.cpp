// The checks and choices before copying, run against the real registry,
// drives and folders of the platform, with the dialogs and message boxes
// answered from a script and recorded.
#include "setup/pre_install.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/paths.h"
#include "install/directories.h"
#include "install/system_folders.h"
#include "payload/command_line.h"
#include "payload/folders.h"
#include "payload/message_box.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/window_handles.h"
#include "platform/registry.h"
#include "support/file_system_fixture.h"
#include "system/registry.h"
#include "system/registry_fixture.h"
#include "ui/dialog_view.h"

namespace kova::setup {
namespace {

using platform::OsVersion;

// ---------------------------------------------------------------------------
// The pure parts: the system's bit and name, the space the files need.

TEST(SystemCheck, BitAndNameOfEachSystem) {
  struct Case {
    OsVersion version;
    u32 bit;
    const char* name;
  } cases[] = {
      {{3, 10, 0, platform::kPlatformWin32s, ""}, 0x01, "Windows 3.1"},
      {{4, 0, 950, platform::kPlatformWindows, ""}, 0x02, "Windows 95"},
      {{4, 9, 0, platform::kPlatformWindows, "B"}, 0x02, "Windows 98 B"},
      {{4, 10, 2222, platform::kPlatformWindows, " A "}, 0x04, "Windows 98 A"},
      {{4, 89, 0, platform::kPlatformWindows, ""}, 0x04, "Windows 98"},
      {{4, 90, 3000, platform::kPlatformWindows, " "}, 0x08, "Windows 98"},
      {{3, 51, 1057, platform::kPlatformNt, "Service Pack 5"}, 0x10, "Windows NT 3.51 Service Pack 5"},
      {{4, 0, 1381, platform::kPlatformNt, "Service Pack 6\r\n"}, 0x20, "Windows NT 4.0 Service Pack 6"},
      {{5, 0, 2195, platform::kPlatformNt, ""}, 0x40, "Windows NT 5.0"},
      {{5, 1, 2600, platform::kPlatformNt, "Service Pack 3"}, 0x80, "Windows NT 5.1 Service Pack 3"},
      {{10, 0, 19045, platform::kPlatformNt, ""}, 0x80, "Windows NT 10.0"},
      {{6, 2, 0, 3, ""}, 0, "Windows"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SystemBit(c.version), c.bit) << c.name;
    EXPECT_STREQ(SystemName(c.version).CStr(), c.name);
  }
}

TEST(SystemCheck, SpaceNeededRoundsEachFileToClustersInSixtyFourBits) {
  core::Array<i32> sizes;
  for (i32 size : {0, 1, 4096, 4097}) sizes.Append(size);
  EXPECT_EQ(SpaceNeeded(sizes, 4096), 0 + 4096 + 4096 + 8192);
  EXPECT_EQ(SpaceNeeded(sizes, 1), 0 + 1 + 4096 + 4097);   // below 2: as they are
  EXPECT_EQ(SpaceNeeded(sizes, -1), 0 + 1 + 4096 + 4097);  // a failed query
  core::Array<i32> large;
  for (int i = 0; i < 5; ++i) large.Append(0x40000000);
  EXPECT_EQ(SpaceNeeded(large, 512), 5LL * 0x40000000);
}

// ---------------------------------------------------------------------------
// The sequence.

struct Box {
  std::string caption;
  std::string text;
  u32 style;
};

std::vector<Box> boxes;
std::deque<int> boxAnswers;  // empty: Yes to every question

int RecordBox(platform::WindowHandle, const char* text, const char* caption, u32 style) {
  boxes.push_back({caption, text, style});
  if ((style & platform::kBoxButtonMask) == platform::kBoxOk) return platform::kIdOk;
  if (boxAnswers.empty()) return platform::kIdYes;
  int answer = boxAnswers.front();
  boxAnswers.pop_front();
  return answer;
}

// Dialog answers from a script; each call is recorded.
struct ScriptedDialogs final : ui::DialogView {
  int ChooseLanguage() override {
    calls.push_back("language");
    payload::SetLanguageIndex(languageChosen);
    return languageResult;
  }
  int ShowPage(ui::PageKind kind, const char* text) override {
    calls.push_back(std::string(kind == ui::PageKind::kLicense ? "licence " : "read-me ") + text);
    if (pageAnswers.empty()) return ui::kDialogAccept;
    int answer = pageAnswers.front();
    pageAnswers.pop_front();
    return answer;
  }
  bool ChooseDirectory(core::String& directory) override {
    calls.push_back(std::string("directory ") + directory.CStr());
    if (directories.empty()) return false;  // cancel
    directory = directories.front().c_str();
    directories.pop_front();
    return true;
  }

  int languageResult = ui::kDialogAccept;
  i32 languageChosen = 0;
  std::deque<int> pageAnswers;
  std::deque<std::string> directories;
  std::vector<std::string> calls;
};

// The install script's page texts live in the script bytes; this builds
// those bytes and records each page's position.
struct ScriptPages {
  void Add(core::Array<i32>& positions, const std::string& text) {
    positions.Append(static_cast<i32>(bytes.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  }
  std::vector<u8> bytes;
};

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class PreInstallTest : public test::FileSystemTest {
 protected:
  void SetUp() override {
    FileSystemTest::SetUp();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    product_ = std::string("KovaTest-") + info->test_suite_name() + "." + info->name();
    for (char& c : product_)
      if (c == '/') c = '_';
    ClearRegistration(product_);
    ClearRegistration(product_ + " Master");

    SetLanguages(1);
    payload::SetLanguageIndex(0);
    payload::SetAutomaticMode(false);
    payload::SetProductFlags(0);
    payload::InstallFolders& folders = payload::Folders();
    folders = payload::InstallFolders();
    folders.productName = product_.c_str();
    folders.defaultDir = Path("App");

    boxes.clear();
    boxAnswers.clear();
    payload::SetMessageBoxFunction(RecordBox);
    ui::SetDialogView(&dialogs_);
    script_.versionText = "1.10";
    input_.script = &script_;
    input_.fileSizes = &fileSizes_;
  }

  void TearDown() override {
    ui::SetDialogView(nullptr);
    payload::SetMessageBoxFunction(nullptr);
    payload::SetAutomaticMode(false);
    payload::SetProductFlags(0);
    ClearRegistration(product_);
    ClearRegistration(product_ + " Master");
    FileSystemTest::TearDown();
  }

  // A message table whose texts name their numbers (and language), with
  // placeholders where the sequence fills them.
  static void SetLanguages(int count, const char* firstLicencePage = "") {
    core::Array<core::String> languages;
    const char* names[] = {"English", "Deutsch"};
    for (int i = 0; i < count; ++i) languages.Append(names[i]);
    core::Array<core::Array<core::String>> table;
    for (int n = 0; n < 70; ++n) {
      core::Array<core::String> texts;
      texts.Append(core::Formatted("message %d", n));
      if (count > 1) texts.Append(core::Formatted("Nachricht %d", n));
      table.Append(texts);
    }
    table[12][0] = "master %s missing";
    table[16][0] = "no drive %c:";
    table[18][0] = "not in %s";
    table[19][0] = "need %s on %c:, free %s";
    table[22][0] = "use %s?";
    table[23][0] = "create %s?";
    table[61][0] = "not on %s";
    table[63][0] = firstLicencePage;
    table[64][0] = " \r\n";  // blank: no page
    payload::SetMessageTable(static_cast<core::Array<core::String>&&>(languages),
                             static_cast<core::Array<core::Array<core::String>>&&>(table));
  }

  static void ClearRegistration(const std::string& name) {
    testing::DeleteRegistryTree(platform::kLocalMachine, kUninstallKey + name);
  }

  // An Uninstall key for name with the given values.
  void Register(const std::string& name, const char* location, const char* version, bool withUninstallString = true) {
    std::string key = std::string("Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
    ASSERT_TRUE(system::OpenSoftwareKey(key.c_str(), false, 0));
    if (withUninstallString) system::SetStringValue("UninstallString", "uninstall.exe", 0);
    system::SetStringValue("InstallLocation", location, 0);
    system::SetStringValue("DisplayVersion", version, 0);
    system::SetStringValue("SharedFiles", "\"C:\\shared.dll\"", 0);
    system::CloseKey();
  }

  bool Run() {
    input_.scriptBytes = pages_.bytes.data();
    input_.scriptLength = static_cast<i32>(pages_.bytes.size());
    return RunPreInstall(input_, choices_);
  }

  void SetFlags(u32 flags) { payload::SetProductFlags(flags); }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) texts.push_back(box.text);
    return texts;
  }

  std::string product_;
  format::InstallScript script_;
  ScriptPages pages_;
  core::Array<i32> fileSizes_;
  PreInstallInput input_;
  PreInstallChoices choices_;
  ScriptedDialogs dialogs_;
};

TEST_F(PreInstallTest, AutomaticModeAsksNothingAndMakesTheDefaultDirectory) {
  payload::SetAutomaticMode(true);
  SetFlags(format::kFlagChooseDirectory);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(dialogs_.calls.empty());
  EXPECT_TRUE(boxes.empty());
  EXPECT_STREQ(payload::Folders().installDir.CStr(), Path("App").CStr());
  EXPECT_TRUE(install::DirectoryExists(Path("App").CStr()));
  EXPECT_EQ(payload::LanguageIndex(), 0);
  EXPECT_FALSE(choices_.reinstall);
}

TEST_F(PreInstallTest, LanguageChoice) {
  // One language, or automatic mode: no dialog.
  ASSERT_TRUE(Run());
  EXPECT_TRUE(dialogs_.calls.empty());
  SetLanguages(2);
  payload::SetAutomaticMode(true);
  ASSERT_TRUE(Run());
  EXPECT_TRUE(dialogs_.calls.empty());

  // Accepted: the chosen language answers from then on.
  dialogs_.languageChosen = 1;
  payload::SetAutomaticMode(false);
  boxes.clear();
  ASSERT_TRUE(Run());
  EXPECT_EQ(dialogs_.calls.front(), "language");
  EXPECT_EQ(payload::LanguageIndex(), 1);
  EXPECT_STREQ(payload::WindowStyle().displayTitle.CStr(), "Nachricht 0");
  EXPECT_EQ(boxes.front().text, "Nachricht 1");  // the welcome question

  // A view that leaves an index outside the list does not make it stick.
  dialogs_.calls.clear();
  dialogs_.languageChosen = -1;
  ASSERT_TRUE(Run());
  EXPECT_EQ(payload::LanguageIndex(), 0);

  // Refused: nothing else is asked.
  dialogs_.calls.clear();
  boxes.clear();
  dialogs_.languageResult = ui::kDialogRefuse;
  EXPECT_FALSE(Run());
  EXPECT_EQ(dialogs_.calls, std::vector<std::string>{"language"});
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PreInstallTest, WelcomeAndPages) {
  SetLanguages(1, "licence of <PRODUCT>");
  pages_.Add(script_.licensePages, "second licence");
  pages_.Add(script_.licensePages, "\t \r\n");
  pages_.Add(script_.readmePages, "read me, <product>");

  ASSERT_TRUE(Run());
  // One language: no language dialog. The welcome box comes first, with the
  // builder's caption; blank pages are skipped.
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].caption, "Kovabuild v8.2");
  EXPECT_EQ(boxes[0].style, platform::kBoxYesNo | platform::kBoxIconAsterisk);
  std::vector<std::string> expected = {"licence licence of " + product_, "licence second licence",
                                       "read-me read me, " + product_};
  EXPECT_EQ(dialogs_.calls, expected);

  // The welcome refused: no page.
  dialogs_.calls.clear();
  boxAnswers = {platform::kIdNo};
  EXPECT_FALSE(Run());
  EXPECT_TRUE(dialogs_.calls.empty());

  // The second licence page refused: no read-me page.
  dialogs_.pageAnswers = {ui::kDialogAccept, ui::kDialogRefuse};
  EXPECT_FALSE(Run());
  EXPECT_EQ(dialogs_.calls.size(), 2u);
}

TEST_F(PreInstallTest, ExcludedSystemIsRefusedWithItsName) {
  OsVersion version;
  ASSERT_TRUE(platform::GetOsVersion(&version));
  script_.excludedSystems = SystemBit(version);
  ASSERT_NE(script_.excludedSystems, 0u);
  EXPECT_FALSE(Run());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, std::string("not on ") + SystemName(version).CStr());
  EXPECT_EQ(boxes[0].caption, "message 21");
  EXPECT_EQ(boxes[0].style, platform::kBoxIconHand);

  // Automatic mode: no box, still refused.
  boxes.clear();
  payload::SetAutomaticMode(true);
  EXPECT_FALSE(Run());
  EXPECT_TRUE(boxes.empty());

  // Every other system passes.
  script_.excludedSystems = ~SystemBit(version);
  EXPECT_TRUE(Run());
}

TEST_F(PreInstallTest, MasterProduct) {
  payload::SetAutomaticMode(true);
  SetFlags(format::kFlagMasterProduct);
  script_.masterProductName = (product_ + " Master").c_str();
  payload::Folders().defaultDir = "<MASTER>";

  // Missing: refused before anything else.
  EXPECT_FALSE(Run());
  EXPECT_FALSE(install::DirectoryExists(Path("Master").CStr()));

  // A key without an uninstall command is not an installation.
  Register(product_ + " Master", Path("Master").CStr(), "1.0", false);
  EXPECT_FALSE(Run());

  // Installed: "<master>" becomes its location.
  Register(product_ + " Master", Path("Master").CStr(), "1.0");
  ASSERT_TRUE(Run());
  EXPECT_STREQ(payload::Folders().installDir.CStr(), Path("Master").CStr());
  EXPECT_TRUE(install::DirectoryExists(Path("Master").CStr()));
}

TEST_F(PreInstallTest, MasterNameMissingBoxNamesIt) {
  SetFlags(format::kFlagMasterProduct);
  EXPECT_FALSE(Run());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "master " + product_ + " missing");  // blank master name: the product's own
}

TEST_F(PreInstallTest, LiteralMasterDirectoryWithoutAMasterIsRefused) {
  payload::SetAutomaticMode(true);
  payload::Folders().defaultDir = "<master>";
  EXPECT_FALSE(Run());
}

TEST_F(PreInstallTest, ReinstallQuestionNamesTheVersionOrder) {
  struct Case {
    const char* earlier;
    const char* current;
    const char* first;
  } cases[] = {
      {"1.2", "1.10", "message 5"},  // the earlier one is older
      {"1.10", "1.10", "message 4"},
      {"1.2a", "1.2", "message 6"},  // newer
      {"", "1.2", "message 3"},
      {"1.2", " ", "message 3"},
  };
  SetFlags(format::kFlagUninstallSupport | format::kFlagChooseDirectory);
  ASSERT_TRUE(platform::MakeDirectory(Path("Earlier").CStr()));
  for (const Case& c : cases) {
    Register(product_, Path("Earlier").CStr(), c.earlier);
    script_.versionText = c.current;
    boxes.clear();
    dialogs_.calls.clear();
    ASSERT_TRUE(Run()) << c.earlier;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::string(c.first) + "\r\n" + Path("Earlier").CStr() + "\r\n\r\nmessage 7");
    EXPECT_EQ(boxes[1].caption, "message 2");
    EXPECT_EQ(boxes[1].style, platform::kBoxYesNo | platform::kBoxIconQuestion);
    // Reinstalling goes to the same directory without the directory dialog.
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_TRUE(choices_.reinstall);
    EXPECT_STREQ(choices_.earlierSharedFiles.CStr(), "\"C:\\shared.dll\"");
    EXPECT_STREQ(payload::Folders().installDir.CStr(), Path("Earlier").CStr());
  }
  // No: stop.
  boxAnswers = {platform::kIdYes, platform::kIdNo};
  EXPECT_FALSE(Run());
}

TEST_F(PreInstallTest, ReinstallRules) {
  SetFlags(format::kFlagUninstallSupport | format::kFlagReinstallSilently);
  // A registration whose directory was deleted is no installation.
  Register(product_, Path("Gone").CStr(), "1.0");
  payload::SetAutomaticMode(true);
  ASSERT_TRUE(Run());
  EXPECT_FALSE(choices_.reinstall);

  // Reinstalling silently asks nothing.
  ASSERT_TRUE(platform::MakeDirectory(Path("Gone").CStr()));
  payload::SetAutomaticMode(false);
  boxes.clear();
  ASSERT_TRUE(Run());
  EXPECT_TRUE(choices_.reinstall);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"message 1"});

  // Not allowed: the box shows even in automatic mode.
  SetFlags(format::kFlagUninstallSupport | format::kFlagNoReinstall);
  payload::SetAutomaticMode(true);
  boxes.clear();
  EXPECT_FALSE(Run());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"message 9"});
  EXPECT_FALSE(payload::IsAutomaticMode());
}

TEST_F(PreInstallTest, DirectoryLoopRefusesUntilADirectoryPassesEveryCheck) {
  SetFlags(format::kFlagChooseDirectory);
  core::String programs = install::ProgramsDir();
  // The longest directory that leaves room within MAX_PATH for a backslash
  // and a 12-character name.
  std::string base = Path("x").CStr();
  base.pop_back();
  std::string longest(260 - 1 - 13 - base.size(), 'x');
  dialogs_.directories = {
      "  \t",                                    // blank: asked again without a box
      "C:\\",                                     // a drive root
      "D:",                                       // not absolute
      Path("App?").CStr(),                        // invalid character
      "Q:\\App",                                  // no such drive
      std::string(programs.CStr()) + "\\",        // the program-files folder
      Path((longest + "y").c_str()).CStr(),       // no room left for a file name
      std::string("  ") + Path("New").CStr() + " ",  // accepted after a No
      Path("New").CStr(),
  };
  boxAnswers = {platform::kIdYes, platform::kIdNo};  // welcome, then No to the first confirmation
  ASSERT_TRUE(Run());
  std::vector<std::string> expected = {
      "message 1",
      "message 17",
      "message 14\r\nD:",
      std::string("message 14\r\n") + Path("App?").CStr(),
      "no drive Q:",
      std::string("not in ") + programs.CStr(),
      std::string("message 14\r\n") + Path((longest + "y").c_str()).CStr(),
      std::string("create ") + Path("New").CStr() + "?",
      std::string("create ") + Path("New").CStr() + "?",
  };
  EXPECT_EQ(BoxTexts(), expected);
  EXPECT_STREQ(payload::Folders().installDir.CStr(), Path("New").CStr());
  EXPECT_TRUE(install::DirectoryExists(Path("New").CStr()));
  EXPECT_EQ(boxes.back().caption, "message 24");
  EXPECT_EQ(dialogs_.calls.size(), 9u);
  // Each time the dialog starts from the text left by the one before.
  EXPECT_EQ(dialogs_.calls[1], "directory ");  // the blank text, trimmed
  EXPECT_EQ(dialogs_.calls[2], "directory C:\\");

  // An existing directory is confirmed with message 22; a directory one
  // character shorter than the refused one passes the form check.
  boxes.clear();
  dialogs_.calls.clear();
  dialogs_.directories = {Path("New").CStr(), Path(longest.c_str()).CStr()};
  boxAnswers = {platform::kIdYes, platform::kIdNo, platform::kIdNo};
  EXPECT_FALSE(Run());  // the list runs out: cancel
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"message 1", std::string("use ") + Path("New").CStr() + "?",
                                                  std::string("create ") + Path(longest.c_str()).CStr() + "?"}));
}

TEST_F(PreInstallTest, DiskSpaceQuestion) {
  SetFlags(format::kFlagChooseDirectory);
  // More than any disk here holds, and more than 32 bits can count.
  for (int i = 0; i < 4096; ++i) fileSizes_.Append(0x40000000);
  dialogs_.directories = {Path("Big").CStr(), Path("Big").CStr()};
  boxAnswers = {platform::kIdYes, platform::kIdNo, platform::kIdYes, platform::kIdYes};
  ASSERT_TRUE(Run());
  ASSERT_EQ(boxes.size(), 4u);
  std::string need = core::SizeText(4096LL * 0x40000000).CStr();
  EXPECT_EQ(boxes[1].text.rfind("need " + need + " on " + core::DriveLetterOf(Path("Big").CStr()) + ":, free ", 0),
            0u)
      << boxes[1].text;
  EXPECT_EQ(boxes[1].caption, "message 20");
  EXPECT_EQ(boxes[1].style, platform::kBoxYesNo | platform::kBoxIconHand);
  EXPECT_EQ(boxes[2].text, boxes[1].text);  // No went back to the dialog
  EXPECT_EQ(boxes[3].text, std::string("create ") + Path("Big").CStr() + "?");
}

TEST_F(PreInstallTest, CancelInTheDirectoryDialogStops) {
  SetFlags(format::kFlagChooseDirectory);
  EXPECT_FALSE(Run());
  EXPECT_FALSE(install::DirectoryExists(Path("App").CStr()));
}

}  // namespace
}  // namespace kova::setup
