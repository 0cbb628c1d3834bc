// Shortcuts, product keys and associations against the real shell-link
// writer and registry of the platform (the shell's link object under Wine).
#include "install/integration.h"

#include <string>

#include "install/install_fixture.h"
#include "install/system_folders.h"
#include "payload/folders.h"

namespace kova::install {
namespace {

using test::InstallTest;

class IntegrationTest : public InstallTest {
 protected:
  void SetUp() override {
    InstallTest::SetUp();
    payload::InstallFolders& folders = payload::Folders();
    folders.productName = "KovaTest Product";
    folders.installDir = Path("App");
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tag_ = std::string("kovatest-") + info->name();
    CleanClasses();
  }
  void TearDown() override {
    CleanClasses();
    InstallTest::TearDown();
  }

  void CleanClasses() {
    for (const char* suffix : {"", "-type", "-other"}) {
      testing::DeleteRegistryTree(platform::kLocalMachine, "Software\\Classes\\." + tag_ + suffix);
      testing::DeleteRegistryTree(platform::kLocalMachine, "Software\\Classes\\" + tag_ + suffix);
    }
  }

  std::string Default(const std::string& key, const char* name = "") {
    if (!system::OpenKey(platform::kClassesRoot, key.c_str(), system::kRegOpenExisting)) return "<no key>";
    std::string value = system::ValueExists(name) ? system::GetStringValue(name, "", 0).CStr() : "<none>";
    system::CloseKey();
    return value;
  }

  format::AssociationRecord Record(const std::string& extension, const std::string& type, u32 flags = 0) {
    format::AssociationRecord record;
    record.flags = flags;
    record.extension = extension.c_str();
    record.fileType = type.c_str();
    record.description = "Test file";
    record.verb = "open";
    record.verbText = "&Open";
    record.command = "%InstallDir%\\app.exe \"%1\"";
    return record;
  }

  std::string tag_;
};

TEST_F(IntegrationTest, ShortcutGetsItsExtensionOnceAndItsFolder) {
  Put("App.txt", "app");
  struct Case {
    const char* name;
    const char* saved;
  } cases[] = {
      {"Links\\Deep\\App", "Links\\Deep\\App.LNK"},
      {"Links\\App.lnk", "Links\\App.lnk"},
      {"Links\\My.LnK File", "Links\\My.LnK File"},
  };
  for (const Case& c : cases) {
    core::String link = Path(c.name);
    ASSERT_TRUE(CreateShortcut(link, Path("App.txt").CStr(), "", Path("").CStr(), "")) << c.name;
    EXPECT_STREQ(link.CStr(), Path(c.saved).CStr());
    std::string bytes = Get(c.saved);
    ASSERT_GE(bytes.size(), 76u) << c.name;
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x4c\0\0\0", 4));  // the shell-link header
  }
}

TEST_F(IntegrationTest, ShortcutsOfTheEntriesAreRecordedUnlessPermanent) {
  Put("App.txt", "app");
  payload::Folders().productStartMenu = ("KovaTest\\" + tag_).c_str();
  ShortcutEntry entry;
  entry.target = Path("App.txt");
  entry.name = tag_.c_str();
  entry.programsMenu = true;
  entry.arguments = "/x %InstallDir%";
  ShortcutEntries().Append(entry);
  ShortcutEntry permanent = entry;
  permanent.name = (tag_ + " kept").c_str();
  permanent.permanent = true;
  ShortcutEntries().Append(permanent);
  ShortcutEntry escaping = entry;
  escaping.name = "..\\..\\Escaped";
  escaping.programsMenu = false;
  escaping.desktop = true;
  ShortcutEntries().Append(escaping);

  EXPECT_TRUE(CreateShortcuts());
  core::String folder = core::JoinPath(SMProgramsDir().CStr(), ("KovaTest\\" + tag_).c_str());
  core::String made = core::JoinPath(folder.CStr(), (tag_ + ".LNK").c_str());
  core::String kept = core::JoinPath(folder.CStr(), (tag_ + " kept.LNK").c_str());
  EXPECT_NE(platform::FileAttributesOf(made.CStr()), platform::kInvalidAttributes);
  EXPECT_NE(platform::FileAttributesOf(kept.CStr()), platform::kInvalidAttributes);
  EXPECT_EQ(std::string(system::UninstallListText().CStr()), std::string(made.CStr()) + "\r\n");
  // A name that would leave its folder is not made, and says so.
  EXPECT_EQ(std::string(ErrorText().CStr()),
            "message 31 " + std::string(core::JoinPath(DesktopDir().CStr(), "..\\..\\Escaped").CStr()) + "\r\n");
  install::DeleteTree(core::JoinPath(SMProgramsDir().CStr(), "KovaTest").CStr());
}

TEST_F(IntegrationTest, ProductKeysUnderBothRoots) {
  std::string path = "KovaTest\\" + tag_;
  CreateProductKeys(path.c_str());
  for (platform::RegistryKey root : {platform::kLocalMachine, platform::kCurrentUser}) {
    EXPECT_TRUE(system::OpenKey(root, ("Software\\" + path).c_str(), system::kRegOpenExisting));
    system::CloseKey();
    testing::DeleteRegistryTree(root, "Software\\" + path);
  }
  EXPECT_TRUE(ErrorText().IsEmpty());
  CreateProductKeys("");
  EXPECT_TRUE(ErrorText().IsEmpty());
}

TEST_F(IntegrationTest, AssociationsKeepWhatTheyReplace) {
  std::string extension = "." + tag_;
  std::string type = tag_ + "-type";
  // An earlier owner of the extension and of the verb's command.
  ASSERT_TRUE(system::OpenKey(platform::kClassesRoot, extension.c_str(), 0));
  system::SetStringValue("", "Earlier.Type", 0);
  system::CloseKey();
  ASSERT_TRUE(system::OpenKey(platform::kClassesRoot, (type + "\\shell\\open\\command").c_str(), 0));
  system::SetStringValue("", "old.exe", 0);
  system::CloseKey();

  core::Array<format::AssociationRecord> records;
  records.Append(Record(tag_, type, 0x1));                  // without its dot
  records.Append(Record(tag_ + "-other", ""));              // no type, extension unknown: nothing
  format::AssociationRecord german = Record(tag_ + "-de", type);
  german.language = "Deutsch";                              // not the chosen language
  records.Append(german);
  core::String text;
  RegisterAssociations(records, text);
  EXPECT_EQ(std::string(text.CStr()), extension + "~!~" + type + "~!~open\r\n");
  EXPECT_TRUE(ErrorText().IsEmpty()) << ErrorText().CStr();
  EXPECT_EQ(Default(extension), type);
  EXPECT_EQ(Default(extension, "KovaTest Product Backup"), "Earlier.Type");
  EXPECT_EQ(Default(type), "Test file");
  EXPECT_EQ(Default(type, "KovaTest Product Backup"), "<none>");  // nothing was there to keep
  EXPECT_EQ(Default(type + "\\shell"), "open");
  EXPECT_EQ(Default(type + "\\shell\\open"), "&Open");
  EXPECT_EQ(Default(type + "\\shell\\open\\command"), std::string(Path("App").CStr()) + "\\app.exe \"%1\"");
  EXPECT_EQ(Default(type + "\\shell\\open\\command", "KovaTest Product Backup"), "old.exe");
  EXPECT_EQ(Default("." + tag_ + "-other"), "<no key>");

  // Installed again: equal values are not backed up, so the backups stay.
  text.Clear();
  RegisterAssociations(records, text);
  EXPECT_EQ(Default(extension, "KovaTest Product Backup"), "Earlier.Type");
  EXPECT_EQ(Default(type + "\\shell\\open\\command", "KovaTest Product Backup"), "old.exe");

  // A record without a type extends the type the extension has.
  core::Array<format::AssociationRecord> extend;
  format::AssociationRecord print = Record(tag_, "");
  print.verb = "print";
  extend.Append(print);
  text.Clear();
  RegisterAssociations(extend, text);
  EXPECT_EQ(std::string(text.CStr()), extension + "~!~" + type + "~!~print\r\n");
  EXPECT_EQ(Default(type + "\\shell\\print"), "&Open");
  EXPECT_EQ(Default(type), "Test file");  // the description belongs to a given type only
}

}  // namespace
}  // namespace kova::install
