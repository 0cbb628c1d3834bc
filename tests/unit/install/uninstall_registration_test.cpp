// The uninstall registration against the platform's registry and files:
// the Uninstall key's values with their types and rules, Uninstall.DAT byte
// for byte, and the version numbers.
#include "install/uninstall_registration.h"

#include <string>

#include "install/install_fixture.h"
#include "payload/folders.h"
#include "format/byte_reader.h"
#include "payload/window_handles.h"

namespace kova::install {
namespace {

using test::InstallTest;

TEST(UninstallVersion, MajorAndMinorOfTheVersionText) {
  struct Case {
    const char* version;
    bool written;
    i32 major, minor;
  } cases[] = {
      {"3", false, 0, 0},
      {"3.5", true, 3, 5},
      {"2.10.3", true, 2, 10},
      {"3.", true, 3, static_cast<i32>(0x80000000u)},
      {"3.x", true, 3, 0},
      {"3.-2", true, 3, -2},
      {"v1.2", true, 1, 2},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    i32 major = -7, minor = -7;
    EXPECT_EQ(VersionNumbers(c.version, &major, &minor), c.written) << c.version;
    if (!c.written) continue;
    EXPECT_EQ(major, c.major) << c.version;
    EXPECT_EQ(minor, c.minor) << c.version;
  }
}

class UninstallRegistrationTest : public InstallTest {
 protected:
  void SetUp() override {
    InstallTest::SetUp();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    product_ = std::string("KovaTest-") + info->name();
    payload::InstallFolders& folders = payload::Folders();
    folders = payload::InstallFolders();
    folders.productName = product_.c_str();
    folders.installDir = Path("App");
    folders.uninstallSubdir = "Uninstall";
    ASSERT_TRUE(platform::MakeDirectory(Path("App\\Uninstall").CStr()));
    script_.uninstallerFileName = "Uninst.exe";
    script_.versionText = "2.10.3";
    script_.publisher = "Kova Tests";
    image_.Assign(reinterpret_cast<const u8*>("MZ image"), 8);
    registration_.script = &script_;
    registration_.uninstallerImage = &image_;
    payload::WindowStyle() = payload::SetupWindowStyle();
    payload::WindowStyle().displayTitle = "Test Setup";
    Clean();
  }
  void TearDown() override {
    Clean();
    InstallTest::TearDown();
  }
  void Clean() {
    testing::DeleteRegistryTree(platform::kLocalMachine,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product_);
  }

  // name -> "type:data" of every value of the product's Uninstall key.
  std::vector<std::string> Values() {
    std::vector<std::string> values;
    std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product_;
    platform::ScopedRegistryKey open;
    if (platform::OpenRegistryKey(platform::kLocalMachine, key.c_str(), open.Out()) != platform::kErrorSuccess)
      return values;
    core::String name, data;
    u32 type = 0;
    for (u32 i = 0; platform::EnumRegistryValue(open.Get(), i, name, type, data) == platform::kErrorSuccess; ++i) {
      std::string text;
      if (type == platform::kRegDword) {
        text = std::to_string(static_cast<i32>(format::LoadLe32(reinterpret_cast<const u8*>(data.CStr()))));
      } else {
        text = std::string(data.CStr(), static_cast<std::size_t>(data.Length()));
        if (!text.empty() && text.back() == '\0') text.pop_back();
      }
      values.push_back(std::string(name.CStr()) + "=" + std::to_string(type) + ":" + text);
    }
    return values;
  }

  std::string product_;
  format::InstallScript script_;
  core::ByteBuffer image_;
  UninstallRegistration registration_;
};

TEST_F(UninstallRegistrationTest, KeyValuesInTheirOrderWithTheirTypes) {
  payload::SetProductFlags(format::kFlagUninstallSupport | format::kFlagCustomColors);
  payload::WindowStyle().titleColor = 0x112233;
  payload::WindowStyle().topColor = 0x445566;
  payload::WindowStyle().bottomColor = 0;
  payload::WindowStyle().monoColor = false;
  registration_.sharedFiles = "\"C:\\x.dll\"";
  RegisterUninstaller(registration_);
  EXPECT_TRUE(ErrorText().IsEmpty()) << ErrorText().CStr();

  std::string uninstaller = std::string(Path("App\\Uninstall\\Uninst.exe").CStr());
  std::vector<std::string> values = Values();
  ASSERT_EQ(values.size(), 18u) << ::testing::PrintToString(values);
  auto has = [&](const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
  };
  // The order of enumeration differs between systems; each value is looked
  // up.
  EXPECT_TRUE(has("UninstallString=1:" + uninstaller + " /u:\"" + product_ + "\""));
  EXPECT_TRUE(has("QuietUninstallString=1:" + uninstaller + " /a /u:\"" + product_ + "\""));
  EXPECT_TRUE(has("DisplayName=1:" + product_));  // the product's name for an empty display name
  EXPECT_TRUE(has("DisplayVersion=1:2.10.3"));
  EXPECT_TRUE(has("Publisher=1:Kova Tests"));
  EXPECT_TRUE(has("InstallLocation=1:" + std::string(Path("App").CStr())));
  EXPECT_TRUE(has("VersionMajor=4:2"));
  EXPECT_TRUE(has("VersionMinor=4:10"));
  EXPECT_TRUE(has("ProductFlags=4:" + std::to_string(format::kFlagUninstallSupport | format::kFlagCustomColors)));
  EXPECT_TRUE(has("SharedFiles=1:\"C:\\x.dll\""));
  EXPECT_TRUE(has("UninstallSubdir=1:Uninstall"));
  EXPECT_TRUE(has("DisplayTitle=1:Test Setup"));
  EXPECT_TRUE(has("TitleColor=4:" + std::to_string(0x112233)));
  EXPECT_TRUE(has("BottomColor=4:0"));
  EXPECT_TRUE(has("MonoColor=4:0"));
  // Empty texts are not stored.
  for (const char* name : {"ProductRegistry=", "ProductStartMenu=", "SharedPath=", "ProductFonts=", "UninstallBatch"})
    for (const std::string& value : values) EXPECT_NE(value.rfind(name, 0), 0u) << value;
  EXPECT_EQ(Get("App\\Uninstall\\Uninst.exe"), "MZ image");

  // Registered again without a version, a subfolder or custom colours: the
  // values that are now empty go, and so does the title colour. (The version
  // numbers are only ever written, never deleted.)
  script_.versionText = "";
  payload::Folders().uninstallSubdir = "";
  payload::SetProductFlags(format::kFlagUninstallSupport);
  RegisterUninstaller(registration_);
  values = Values();
  for (const char* name : {"DisplayVersion=", "UninstallSubdir=", "TitleColor="})
    for (const std::string& value : values) EXPECT_NE(value.rfind(name, 0), 0u) << value;
  EXPECT_EQ(Get("App\\Uninst.exe"), "MZ image");  // the uninstall folder is the installation folder now
}

TEST_F(UninstallRegistrationTest, UninstallDataByteForByte) {
  system::AddUninstallEntry(Path("App\\Sub").CStr(), system::kUninstallDirectory);
  system::AddUninstallEntry(Path("App\\Sub\\a.txt").CStr(), system::kUninstallFile);
  system::AddUninstallEntry(Path("App\\SUB").CStr(), system::kUninstallDirectory);  // recorded once
  system::AddUninstallEntry(Path("App\\Sub\\b.txt").CStr(), system::kUninstallFile);
  ASSERT_TRUE(WriteUninstallData(""));
  std::string strings;
  for (int n : {10, 15, 20, 30, 34, 35, 53, 55, 56, 57, 58, 59})
    strings += "~" + std::to_string(n) + "\r\nmessage " + std::to_string(n) + "\r\n";
  std::string list = "~" + std::string(Path("App\\Sub").CStr()) + "\r\n" + Path("App\\Sub\\a.txt").CStr() + "\r\n" +
                     Path("App\\Sub\\b.txt").CStr() + "\r\n";
  EXPECT_EQ(Get("App\\Uninstall\\Uninstall.DAT"), list + "\r\n\r\n[Strings]\r\n" + strings);

  ASSERT_TRUE(WriteUninstallData(".txt~!~txtfile~!~open\r\n"));
  EXPECT_EQ(Get("App\\Uninstall\\Uninstall.DAT"),
            list + "\r\n\r\n[Strings]\r\n" + strings + "\r\n\r\n[Associations]\r\n.txt~!~txtfile~!~open\r\n");
  EXPECT_EQ(Get("App\\Uninstall\\Uninstall.DAT.new"), "<missing>");

  // A folder that cannot take the file: false, and nothing left behind.
  payload::Folders().uninstallSubdir = "Missing";
  EXPECT_FALSE(WriteUninstallData(""));
  EXPECT_EQ(Get("App\\Missing\\Uninstall.DAT.new"), "<missing>");
}

}  // namespace
}  // namespace kova::install
