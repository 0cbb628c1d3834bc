// The install script reader: primitives, every limit with its corrupt code,
// and damaged counts that must fail fast instead of allocating or looping.
#include <gtest/gtest.h>

#include <functional>

#include "format/byte_writer.h"
#include "format/script_reader.h"
#include "payload/fatal.h"

namespace kova::format {
namespace {

using test::ByteWriter;

// The knobs of a script fixture; Write lays out every item in stream order.
struct ScriptFixture {
  uint32_t flags = 0;
  std::string volumeBase = "SETUP";
  std::string uninstaller = "UNINST.EXE";
  int32_t licenseCount = 1;
  int32_t readmeCount = 0;
  int32_t bitmapSize = 0;
  std::string master = "Master";
  int32_t iconOffset = 0;
  int32_t associationCount = 1;
  uint8_t languageCount = 2;
  int32_t messageCount = 3;
  int32_t writtenMessages = -1;  // how many messages the fixture holds; -1: messageCount
  uint32_t endMarker = format::kScriptEndMarker;

  ByteWriter Write() const {
    ByteWriter w;
    w.U32(flags);
    for (int i = 1; i <= 6; ++i) w.I32(2000 + i);
    w.Text("Publisher").Text("Product").Text("").Text("").Text("%ProgramFiles%\\App").Text("1.0").Text("App");
    w.I32(licenseCount);
    for (int i = 0; i < licenseCount; ++i) w.Text("licence " + std::to_string(i));
    w.I32(readmeCount);
    for (int i = 0; i < readmeCount; ++i) w.Text("readme " + std::to_string(i));
    w.Text("Uninst").Text("Display").Text(volumeBase).Text(uninstaller);
    w.U32(0x112233).U32(0x445566).U32(0x778899);
    w.I32(bitmapSize);
    if (bitmapSize > 0 && bitmapSize < 1000) w.Fill('B', bitmapSize);
    if (flags & format::kFlagMasterProduct) w.Text(master);
    w.Text("pre").Text("post1").Text("post2").Text("un1").Text("un2");
    w.U32(0xAABBCCDD).U32(0x10).U32(7);
    w.I32(iconOffset);
    if (iconOffset > 0) w.Fill(0x5A, format::kIconPatchBytes);
    w.I32(associationCount);
    for (int i = 0; i < associationCount && i < 100; ++i)
      w.U32(0x3).Text(".kva").Text("Kova.File").Text("Kova file").Text("open").Text("&Open").Text("app.exe %1").Text("");
    w.U8(languageCount);
    w.I32(messageCount);
    for (int i = 0; i < languageCount; ++i) w.Text("Language " + std::to_string(i));
    int32_t written = writtenMessages < 0 ? messageCount : writtenMessages;
    for (int n = 0; n < written; ++n)
      for (int i = 0; i < languageCount; ++i) w.Text("m" + std::to_string(n) + "/" + std::to_string(i));
    w.U32(endMarker);
    return w;
  }
};

i32 Read(const ScriptFixture& fixture, format::InstallScript& script) {
  ByteWriter w = fixture.Write();
  return format::ReadInstallScript(w.Data(), static_cast<i32>(w.Size()), script);
}

TEST(ScriptReader, ReadsEveryItem) {
  ScriptFixture fixture;
  fixture.flags = format::kFlagMasterProduct | format::kFlagUninstallSupport;
  fixture.iconOffset = 1234;
  fixture.readmeCount = 2;
  ByteWriter w = fixture.Write();
  format::InstallScript s;
  ASSERT_EQ(format::ReadInstallScript(w.Data(), static_cast<i32>(w.Size()), s), 0);
  EXPECT_EQ(s.productFlags, format::kFlagMasterProduct | format::kFlagUninstallSupport);
  EXPECT_EQ(s.uninstallerStamp.year, 2001);
  EXPECT_EQ(s.uninstallerStamp.second, 2006);
  EXPECT_STREQ(s.publisher.CStr(), "Publisher");
  EXPECT_STREQ(s.productName.CStr(), "Product");
  EXPECT_STREQ(s.defaultDirText.CStr(), "%ProgramFiles%\\App");
  EXPECT_STREQ(s.productRegistry.CStr(), "App");
  ASSERT_EQ(s.licensePages.Size(), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(w.Data()) + s.licensePages[0], "licence 0");
  ASSERT_EQ(s.readmePages.Size(), 2);
  EXPECT_STREQ(reinterpret_cast<const char*>(w.Data()) + s.readmePages[1], "readme 1");
  EXPECT_STREQ(s.volumeBaseName.CStr(), "SETUP");
  EXPECT_EQ(s.titleColor, 0x112233u);
  EXPECT_EQ(s.bottomColor, 0x778899u);
  EXPECT_STREQ(s.masterProductName.CStr(), "Master");
  EXPECT_STREQ(s.uninstallBatch2.CStr(), "un2");
  EXPECT_EQ(s.excludedSystems, 0x10u);
  EXPECT_EQ(s.firstSequenceNumber, 7u);
  EXPECT_EQ(s.iconPatchOffset, 1234);
  ASSERT_EQ(s.iconPatch.Size(), static_cast<size_t>(format::kIconPatchBytes));
  EXPECT_EQ(s.iconPatch.Data()[format::kIconPatchBytes - 1], 0x5A);
  ASSERT_EQ(s.associations.Size(), 1);
  EXPECT_STREQ(s.associations[0].command.CStr(), "app.exe %1");
  ASSERT_EQ(s.languageNames.Size(), 2);
  ASSERT_EQ(s.messages.Size(), 3);
  EXPECT_STREQ(s.messages[2][1].CStr(), "m2/1");
}

TEST(ScriptReader, LimitsAndTheirCodes) {
  struct Case {
    const char* name;
    std::function<void(ScriptFixture&)> change;
    i32 code;
  } cases[] = {
      {"20 licence pages", [](ScriptFixture& f) { f.licenseCount = 20; }, 0},
      {"21 licence pages", [](ScriptFixture& f) { f.licenseCount = 21; }, format::kCorruptLicenseCount},
      {"negative licence count", [](ScriptFixture& f) { f.licenseCount = -1; }, format::kCorruptLicenseCount},
      {"21 read-me pages", [](ScriptFixture& f) { f.readmeCount = 21; }, format::kCorruptReadmeCount},
      {"blank volume name", [](ScriptFixture& f) { f.volumeBase = " \t"; }, format::kCorruptVolumeName},
      {"blank uninstaller name", [](ScriptFixture& f) { f.uninstaller = ""; }, format::kCorruptUninstallerName},
      {"icon offset 999998", [](ScriptFixture& f) { f.iconOffset = 999998; }, 0},
      {"icon offset 999999", [](ScriptFixture& f) { f.iconOffset = 999999; }, format::kCorruptIconPatch},
      {"icon offset -1", [](ScriptFixture& f) { f.iconOffset = -1; }, format::kCorruptIconPatch},
      {"association count -1", [](ScriptFixture& f) { f.associationCount = -1; }, 0},
      {"language count 0", [](ScriptFixture& f) { f.languageCount = 0; }, format::kCorruptLanguageCount},
      {"10000 messages", [](ScriptFixture& f) { f.messageCount = 10000; }, 0},
      {"10001 messages", [](ScriptFixture& f) { f.messageCount = 10001; }, format::kCorruptMessageCount},
      {"0 messages", [](ScriptFixture& f) { f.messageCount = 0; }, format::kCorruptMessageCount},
      {"wrong end marker", [](ScriptFixture& f) { f.endMarker = 0xD3E82B96; }, format::kCorruptEndMarker},
  };
  for (const Case& c : cases) {
    ScriptFixture fixture;
    c.change(fixture);
    format::InstallScript script;
    EXPECT_EQ(Read(fixture, script), c.code) << c.name;
  }
}

TEST(ScriptReader, MasterNameOnlyWithItsFlag) {
  ScriptFixture fixture;  // without the flag the batches follow the bitmap directly
  format::InstallScript script;
  ASSERT_EQ(Read(fixture, script), 0);
  EXPECT_STREQ(script.masterProductName.CStr(), "");
  EXPECT_STREQ(script.preInstallBatch.CStr(), "pre");
}

// Counts far beyond the bytes present end at once with the code the reading
// would reach anyway, without allocating or looping by the count.
TEST(ScriptReader, DamagedCountsFailFast) {
  struct Case {
    const char* name;
    std::function<void(ScriptFixture&)> change;
    i32 code;
  } cases[] = {
      {"huge association count", [](ScriptFixture& f) { f.associationCount = 0x7FFFFFFF; }, format::kCorruptLanguageCount},
      {"huge bitmap", [](ScriptFixture& f) { f.bitmapSize = 0x7FFFFFF0; }, format::kCorruptLanguageCount},
      {"messages beyond the bytes",
       [](ScriptFixture& f) {
         f.messageCount = 10000;
         f.languageCount = 255;
         f.writtenMessages = 1;
         f.associationCount = 0;
       },
       format::kCorruptEndMarker},
  };
  for (const Case& c : cases) {
    ScriptFixture fixture;
    c.change(fixture);
    format::InstallScript script;
    EXPECT_EQ(Read(fixture, script), c.code) << c.name;
    EXPECT_EQ(script.associations.Size(), 0) << c.name;
    EXPECT_EQ(script.backgroundBitmap.Size(), 0u) << c.name;
    EXPECT_EQ(script.messages.Size(), 0) << c.name;
  }
}

TEST(ScriptReader, EveryTruncationIsRefused) {
  ScriptFixture fixture;
  ByteWriter w = fixture.Write();
  for (size_t length = 0; length < w.Size(); ++length) {
    format::InstallScript script;
    EXPECT_NE(format::ReadInstallScript(w.Data(), static_cast<i32>(length), script), 0) << length;
  }
}

TEST(ScriptReader, Primitives) {
  ByteWriter w;
  w.U32(0x04030201).Text("ab").U8('c');
  format::ScriptReader r(w.Data(), static_cast<i32>(w.Size()));
  u8 two[2];
  EXPECT_TRUE(r.ReadBytes(two, 0));
  EXPECT_EQ(r.Position(), 0);
  EXPECT_FALSE(r.ReadBytes(nullptr, 2));
  EXPECT_FALSE(r.ReadBytes(two, -1));
  EXPECT_EQ(r.ReadU32(), 0x04030201u);
  core::String text;
  EXPECT_TRUE(r.ReadText(text));
  EXPECT_STREQ(text.CStr(), "ab");
  EXPECT_FALSE(r.ReadText(text));  // runs to the end without a NUL
  EXPECT_STREQ(text.CStr(), "c");
  EXPECT_FALSE(r.ReadText(text));  // at the end
  EXPECT_STREQ(text.CStr(), "");
  u8 past[3] = {9, 9, 9};
  EXPECT_FALSE(r.ReadBytes(past, 3));  // past the end: zeros, and the position moves on
  EXPECT_EQ(past[0] + past[1] + past[2], 0);
  EXPECT_EQ(r.Position(), static_cast<i32>(w.Size()) + 3);
  EXPECT_EQ(r.ReadU32(), 0u);
}

TEST(ScriptReader, SkipText) {
  ByteWriter w;
  w.Text("one").U8('x');
  format::ScriptReader r(w.Data(), static_cast<i32>(w.Size()));
  EXPECT_TRUE(r.SkipText());
  EXPECT_EQ(r.Position(), 4);
  EXPECT_FALSE(r.SkipText());
  EXPECT_EQ(r.Position(), 5);
}

}  // namespace
}  // namespace kova::format
