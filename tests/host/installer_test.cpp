// Building installers and reading them back through the engine's archive
// code: every script item and file survives the round trip, the output is
// reproducible, the PE layout and the uninstaller image are sound, volumes
// split and reassemble, and damage is reported with the installer's codes.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "builder/extractor.h"
#include "builder/flag_names.h"
#include "builder/installer_reader.h"
#include "builder/pe_file.h"
#include "builder_fixtures.h"
#include "format/archive.h"
#include "format/checksum.h"
#include "payload/fatal.h"

namespace kova::builder {
namespace {

using test::TempDir;

std::string Str(const core::String& s) { return std::string(s.CStr(), static_cast<std::size_t>(s.Length())); }

std::vector<u8> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<u8> bytes(n);
  for (u8& b : bytes) b = static_cast<u8>(random());
  return bytes;
}

const char* kFullManifest = R"(
[product]
name = "Round Trip"
publisher = "Tests"
version = "3.4"
install-dir = "%ProgramsDir%\\Round Trip"
shared-dir = "Shared"
start-menu = "Menu\\Sub"
registry = "Tests\\Round Trip"
display-name = "Round Trip Product"
master-product = "Base"
flags = ["uninstall-support", "compressed-data", "no-cancel"]
excluded-systems = ["win95"]

[window]
title-color = "#102030"
top-color = "#405060"
bottom-color = "#708090"

[uninstaller]
file-name = "Remove Round Trip.exe"
subdir = "Uninstall"
stamp = 2010-10-10T10:10:10
icon = "icon.ico"

[batches]
pre-install = "echo pre"
post-install-1 = "echo post 1"
post-install-2 = "echo post 2"
uninstall-1 = { text = "echo un 1", hidden = true }
uninstall-2 = "echo un 2"

[volumes]
first-sequence = 4242

[[license]]
text = "Licence one"
[[license]]
text = "Licence two"
[[readme]]
text = "Read me"

[[language]]
name = "English"
[[language]]
name = "Second"
[language.messages]
0 = "Zweite <product>"

[[file]]
source = "data/app.bin"
name = "bin\\app.bin"
flags = ["desktop-shortcut"]
shortcut-name = "App"
icon = "app.ico"
arguments = "/go"
stamp = 2021-01-02T03:04:05

[[file]]
source = "data/empty.txt"
type = "shared"
stamp = "none"

[[file]]
source = "data/font.ttf"
type = "font"
font-name = "Round Sans"
existing = "only-if-exists"
stamp = 2021-01-02T03:04:05

[[file]]
source = "data/sys.dll"
type = "system"
version = "1.0.0.1"
flags = ["permanent", "uninstall-dir"]
stamp = 2021-01-02T03:04:05

[[association]]
extension = ".rt"
file-type = "RoundTrip.Doc"
description = "Round trip document"
verb = "open"
verb-text = "&Open"
command = "app.exe %1"
language = "Second"
flags = ["default-verb"]
)";

void WriteSources(const TempDir& dir) {
  dir.Write("icon.ico", test::IcoFile(0x55));
  dir.Write("data/app.bin", RandomBytes(5000, 1));
  dir.Write("data/empty.txt", "");
  dir.Write("data/font.ttf", std::string(3000, 'f'));
  dir.Write("data/sys.dll", "system file");
}

TEST(Installer, EveryItemSurvivesTheRoundTrip) {
  for (auto level : {CompressionLevel::kFast, CompressionLevel::kBest}) {
    TempDir dir;
    WriteSources(dir);
    std::string path = test::BuildAndWrite(dir, kFullManifest, level);
    InstallerContents c;
    std::string error;
    ASSERT_TRUE(ReadInstaller(path, c, error)) << error;
    ASSERT_TRUE(c.Ok()) << DescribeVerdict(c);
    ASSERT_TRUE(c.streamRead);

    const format::InstallScript& s = c.script;
    EXPECT_EQ(s.productFlags, format::kFlagUninstallSupport | format::kFlagCompressedData | format::kFlagNoCancel |
                                  format::kFlagMasterProduct | format::kFlagCustomColors |
                                  format::kFlagHideUninstallBatch1);
    EXPECT_EQ(s.uninstallerStamp.year, 2010);
    EXPECT_EQ(Str(s.publisher), "Tests");
    EXPECT_EQ(Str(s.productName), "Round Trip");
    EXPECT_EQ(Str(s.sharedDir), "Shared");
    EXPECT_EQ(Str(s.productStartMenu), "Menu\\Sub");
    EXPECT_EQ(Str(s.defaultDirText), "%ProgramsDir%\\Round Trip");
    EXPECT_EQ(Str(s.versionText), "3.4");
    EXPECT_EQ(Str(s.productRegistry), "Tests\\Round Trip");
    ASSERT_EQ(s.licensePages.Size(), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(c.archive.script.Data()) + s.licensePages[1], "Licence two");
    ASSERT_EQ(s.readmePages.Size(), 1);
    EXPECT_EQ(Str(s.uninstallSubdir), "Uninstall");
    EXPECT_EQ(Str(s.displayName), "Round Trip Product");
    EXPECT_EQ(Str(s.volumeBaseName), "setup");  // from the output name
    EXPECT_EQ(Str(s.uninstallerFileName), "Remove Round Trip.exe");
    EXPECT_EQ(s.titleColor, 0x302010u);
    EXPECT_EQ(s.topColor, 0x605040u);
    EXPECT_EQ(s.bottomColor, 0x908070u);
    EXPECT_TRUE(s.backgroundBitmap.IsEmpty());
    EXPECT_EQ(Str(s.masterProductName), "Base");
    EXPECT_EQ(Str(s.preInstallBatch), "echo pre");
    EXPECT_EQ(Str(s.postInstallBatch1), "echo post 1");
    EXPECT_EQ(Str(s.postInstallBatch2), "echo post 2");
    EXPECT_EQ(Str(s.uninstallBatch1), "echo un 1");
    EXPECT_EQ(Str(s.uninstallBatch2), "echo un 2");
    EXPECT_EQ(s.excludedSystems, 0x2u);
    EXPECT_EQ(s.firstSequenceNumber, 4242u);
    EXPECT_EQ(s.iconPatchOffset, static_cast<i32>(test::kStubIconOffset));
    ASSERT_EQ(s.associations.Size(), 1);
    EXPECT_EQ(Str(s.associations[0].fileType), "RoundTrip.Doc");
    EXPECT_EQ(Str(s.associations[0].verbText), "&Open");
    EXPECT_EQ(Str(s.associations[0].language), "Second");
    EXPECT_EQ(s.associations[0].flags, 1u);
    ASSERT_EQ(s.languageNames.Size(), 2);
    EXPECT_EQ(Str(s.languageNames[1]), "Second");
    ASSERT_EQ(s.messages.Size(), 65);
    EXPECT_EQ(Str(s.messages[0][0]), "<product> Setup");
    EXPECT_EQ(Str(s.messages[0][1]), "Zweite <product>");
    EXPECT_EQ(Str(s.messages[49][1]), "Cancel");

    ASSERT_EQ(c.records.size(), 4u);
    const ReadRecord& app = c.records[0];
    EXPECT_EQ(app.record.name, "bin\\app.bin");
    EXPECT_EQ(app.record.text1, "App");
    EXPECT_EQ(app.record.text2, "app.ico");
    EXPECT_EQ(app.record.text3, "/go");
    EXPECT_EQ(app.record.stamp.minute, 4);
    std::vector<u8> data(c.stream.begin() + static_cast<std::ptrdiff_t>(app.dataOffset),
                         c.stream.begin() + static_cast<std::ptrdiff_t>(app.dataOffset + app.dataSize));
    EXPECT_EQ(data, RandomBytes(5000, 1));
    EXPECT_EQ(c.records[1].dataSize, 0u);
    EXPECT_FALSE(c.records[1].record.stamp.IsSet());
    EXPECT_EQ(c.records[2].record.flags, 0x8u);
    EXPECT_EQ(c.records[2].record.text1, "Round Sans");
    EXPECT_EQ(c.records[3].record.flags, kFileFlagPermanent | kFileFlagUninstallDir);
    EXPECT_EQ(c.records[3].record.text1, "1.0.0.1");
  }
}

TEST(Installer, SameInputsGiveTheSameBytes) {
  TempDir dir;
  WriteSources(dir);
  std::vector<OutputFile> first, second;
  ASSERT_EQ(test::Build(dir, kFullManifest, first, CompressionLevel::kBest), "");
  ASSERT_EQ(test::Build(dir, kFullManifest, second, CompressionLevel::kBest), "");
  ASSERT_EQ(first.size(), second.size());
  EXPECT_TRUE(first[0].bytes == second[0].bytes);
  // A changed source changes the bytes (nothing is cached).
  dir.Write("data/sys.dll", "system file, changed");
  std::vector<OutputFile> third;
  ASSERT_EQ(test::Build(dir, kFullManifest, third, CompressionLevel::kBest), "");
  EXPECT_FALSE(first[0].bytes == third[0].bytes);
}

// The section as the PE format and the stub want it, for PE32 and PE32+.
TEST(Installer, ArchiveIsTheLastSectionWithAlignedEqualSizes) {
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    TempDir dir;
    WriteSources(dir);
    std::vector<u8> stub = test::MakeStub({.pe32Plus = pe32Plus});
    std::vector<OutputFile> outputs;
    ASSERT_EQ(test::Build(dir, kFullManifest, outputs, CompressionLevel::kFast, stub), "");
    const std::vector<u8>& file = outputs[0].bytes;
    PeImage pe;
    std::string error;
    ASSERT_TRUE(ParsePe(file, pe, error)) << error;
    ASSERT_EQ(pe.sections.size(), 5u);
    const PeSection& kova = pe.sections.back();
    EXPECT_EQ(kova.name, ".kova");
    EXPECT_EQ(kova.rawSize, kova.virtualSize);
    EXPECT_EQ(kova.rawSize % 0x1000, 0u);
    EXPECT_EQ(kova.rawPointer, test::MakeStub().size());  // the stub's end, already file-aligned
    EXPECT_EQ(kova.virtualAddress, test::kStubSizeOfImage);
    EXPECT_EQ(kova.characteristics, kSectionInitializedData | kSectionRead);
    EXPECT_EQ(pe.sizeOfImage, kova.virtualAddress + kova.virtualSize);
    EXPECT_EQ(pe.sizeOfInitializedData, 0xC00u + kova.rawSize);
    EXPECT_EQ(file.size(), static_cast<std::size_t>(kova.rawPointer) + kova.rawSize);
    EXPECT_EQ(test::Get32(file, pe.optionalHeader + 64), 0u);  // CheckSum cleared
    // The stub checksum covers exactly the bytes before the section.
    EXPECT_EQ(test::Get32(file, kova.rawPointer + 16), format::Checksum32(file.data(), kova.rawPointer));
  }
}

// The stub's uninstaller image (format::BuildUninstallerImage over the built
// file) is the stub again: no `.kova` section, the original sizes, only the
// checksum field cleared and the icon replaced.
TEST(Installer, UninstallerImageIsTheStubWithoutTheSection) {
  TempDir dir;
  WriteSources(dir);
  std::string path = test::BuildAndWrite(dir, kFullManifest);
  std::vector<u8> file = dir.Read("out/setup.exe");
  format::PeLayout layout;
  ASSERT_EQ(format::LocateArchive(file.data(), file.size(), layout), 0);
  core::ByteBuffer image(file.data(), layout.rawPointer);
  std::size_t tail = file.size() - layout.rawPointer - layout.rawSize;
  EXPECT_EQ(tail, 0u);
  ASSERT_TRUE(format::BuildUninstallerImage(layout, image, nullptr, 0));
  std::vector<u8> bytes(image.Data(), image.Data() + image.Size());

  PeImage pe;
  std::string error;
  ASSERT_TRUE(ParsePe(bytes, pe, error)) << error;
  EXPECT_EQ(pe.sections.size(), 4u);
  for (const PeSection& s : pe.sections) EXPECT_NE(s.name, ".kova");
  EXPECT_EQ(pe.sizeOfImage, test::kStubSizeOfImage);
  EXPECT_EQ(pe.sizeOfInitializedData, 0xC00u);

  std::vector<u8> expected = test::MakeStub();
  test::Put32(expected, pe.optionalHeader + 64, 0);
  EXPECT_TRUE(bytes == expected);

  // With the icon patch of the script, as the stub applies it.
  InstallerContents c;
  ASSERT_TRUE(ReadInstaller(path, c, error)) << error;
  std::vector<u8> patched(c.uninstallerImage.Data(), c.uninstallerImage.Data() + c.uninstallerImage.Size());
  std::vector<u8> icon = test::IconImage(0x55);
  std::copy(icon.begin(), icon.end(), expected.begin() + test::kStubIconOffset);
  EXPECT_TRUE(patched == expected);
}

const char* kVolumeManifest = R"(
[product]
name = "Volumes"
flags = ["compressed-data"]
[volumes]
size = 10000
[[file]]
source = "big.bin"
[[file]]
source = "small.txt"
)";

TEST(Installer, VolumesSplitAndReassemble) {
  TempDir dir;
  dir.Write("big.bin", RandomBytes(40000, 7));
  dir.Write("small.txt", "small");
  std::vector<OutputFile> outputs;
  ASSERT_EQ(test::Build(dir, kVolumeManifest, outputs), "");
  ASSERT_GE(outputs.size(), 4u);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    EXPECT_LE(outputs[i].bytes.size(), 10000u) << outputs[i].path;
    if (i > 0) {
      EXPECT_EQ(outputs[i].path, dir.Path("out/setup" + std::to_string(i + 1) + ".KVA"));
    }
  }
  std::string error;
  ASSERT_TRUE(WriteFilesAtomically(outputs, error)) << error;
  InstallerContents c;
  ASSERT_TRUE(ReadInstaller(outputs[0].path, c, error)) << error;
  ASSERT_TRUE(c.Ok()) << DescribeVerdict(c);
  ASSERT_EQ(c.volumes.size(), outputs.size() - 1);
  for (std::size_t i = 0; i < c.volumes.size(); ++i)
    EXPECT_EQ(c.volumes[i].sequence, c.script.firstSequenceNumber + i);
  ASSERT_EQ(c.records.size(), 2u);
  std::vector<u8> big(c.stream.begin() + static_cast<std::ptrdiff_t>(c.records[0].dataOffset),
                      c.stream.begin() + static_cast<std::ptrdiff_t>(c.records[0].dataOffset + 40000));
  EXPECT_EQ(big, RandomBytes(40000, 7));

  // A missing volume and a volume of another build are what the installer
  // would ask the user about; a damaged one is a checksum error.
  std::vector<u8> third = dir.Read("out/setup3.KVA");
  std::filesystem::remove(dir.Path("out/setup3.KVA"));
  ASSERT_TRUE(ReadInstaller(outputs[0].path, c, error));
  EXPECT_NE(c.volumeProblem.find("setup3.KVA' cannot be opened"), std::string::npos) << c.volumeProblem;
  std::vector<u8> wrong = third;
  test::Put32(wrong, 0, test::Get32(third, 0) + 1);
  dir.Write("out/setup3.KVA", wrong);
  ASSERT_TRUE(ReadInstaller(outputs[0].path, c, error));
  EXPECT_NE(c.volumeProblem.find("sequence number"), std::string::npos) << c.volumeProblem;
  std::vector<u8> damaged = third;
  damaged[100] ^= 1;
  dir.Write("out/setup3.KVA", damaged);
  ASSERT_TRUE(ReadInstaller(outputs[0].path, c, error));
  EXPECT_EQ(c.code, format::kCorruptStreamChecksum);
}

TEST(Installer, VolumeSizeTooSmallForTheFirstPartIsRefused) {
  TempDir dir;
  dir.Write("big.bin", RandomBytes(100, 7));
  dir.Write("small.txt", "small");
  std::string text = kVolumeManifest;
  text.replace(text.find("size = 10000"), 12, "size = 4096");
  std::vector<OutputFile> outputs;
  std::string error = test::Build(dir, text, outputs);
  EXPECT_NE(error.find("a volume size of 4096 bytes is too small"), std::string::npos) << error;
  EXPECT_TRUE(outputs.empty());
}

TEST(Installer, ScriptOverTheLimitIsRefused) {
  TempDir dir;
  // An incompressible background bitmap of about 10.5 MB.
  const u32 width = 2000, height = 1750;
  std::vector<u8> bmp(14 + 40, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  test::Put32(bmp, 10, 54);
  test::Put32(bmp, 14, 40);
  test::Put32(bmp, 18, width);
  test::Put32(bmp, 22, height);
  test::Put16(bmp, 26, 1);
  test::Put16(bmp, 28, 24);
  std::vector<u8> pixels = RandomBytes(static_cast<std::size_t>(width) * 3 * height, 3);
  bmp.insert(bmp.end(), pixels.begin(), pixels.end());
  dir.Write("big.bmp", bmp);
  std::vector<OutputFile> outputs;
  std::string error = test::Build(dir, "[product]\nname = \"Big\"\n[window]\nbackground = \"big.bmp\"\n", outputs);
  EXPECT_NE(error.find("compressed; the limit is 10485759 (0x9FFFFF)"), std::string::npos) << error;
}

TEST(Installer, StubWithoutRoomForASectionHeaderIsRefused) {
  TempDir dir;
  std::vector<OutputFile> outputs;
  // The table of four headers ends at 0x178 + 160; two more slots do not fit.
  std::string error = test::Build(dir, "[product]\nname = \"P\"\n", outputs, CompressionLevel::kFast,
                                  test::MakeStub({.sizeOfHeaders = 0x178 + 200}));
  EXPECT_NE(error.find("no room for another section header"), std::string::npos) << error;
  std::vector<u8> notPe(4096, 0);
  error = test::Build(dir, "[product]\nname = \"P\"\n", outputs, CompressionLevel::kFast, notPe);
  EXPECT_NE(error.find("not a Windows program"), std::string::npos) << error;
}

// Damage anywhere is reported with the code the installer would show.
TEST(Installer, DamageIsReportedWithTheInstallersCode) {
  TempDir dir;
  dir.Write("a.bin", RandomBytes(3000, 11));
  dir.Write("b.txt", "second file");
  const char* manifest = "[product]\nname = \"Damage\"\n[[file]]\nsource = \"a.bin\"\n[[file]]\nsource = \"b.txt\"\n";
  std::string path = test::BuildAndWrite(dir, manifest);
  const std::vector<u8> good = dir.Read("out/setup.exe");
  format::PeLayout layout;
  ASSERT_EQ(format::LocateArchive(good.data(), good.size(), layout), 0);
  const u32 section = layout.rawPointer;
  const u32 scriptSize = test::Get32(good, section + 8);
  const u32 streamAt = section + 36 + 2 * 4 + scriptSize;

  struct Case {
    const char* name;
    std::function<void(std::vector<u8>&)> change;
    i32 code;
  };
  const Case cases[] = {
      {"magic", [&](std::vector<u8>& f) { f[section] ^= 1; }, format::kCorruptMagic},
      {"version 821", [&](std::vector<u8>& f) { test::Put32(f, section + 4, 821); }, format::kVersionTooNew},
      {"script size 0", [&](std::vector<u8>& f) { test::Put32(f, section + 8, 0); }, format::kCorruptScriptSize},
      {"script key", [&](std::vector<u8>& f) { f[section + 12] ^= 0x80; }, format::kCorruptScriptDecode},
      {"script block", [&](std::vector<u8>& f) { f[section + 44 + scriptSize / 2] ^= 0x10; }, 999},
      {"stub byte", [&](std::vector<u8>& f) { f[0x400] ^= 1; }, format::kCorruptStubChecksum},
      {"file size table", [&](std::vector<u8>& f) { test::Put32(f, section + 36, 0x40000001); },
       format::kCorruptFileSizeEntry},
      {"file data", [&](std::vector<u8>& f) { f[streamAt + 20] ^= 1; }, format::kCorruptStreamChecksum},
      {"section renamed", [&](std::vector<u8>& f) { f[0x178 + 4 * 40 + 1] = 'K'; }, format::kNoArchive},
      // Cut short at the section, inside the header's size table, inside the script block.
      {"cut at the section", [&](std::vector<u8>& f) { f.resize(section); }, format::kCorruptSectionSeek},
      {"cut in the header", [&](std::vector<u8>& f) { f.resize(section + 38); }, format::kCorruptFileSizeEntry},
      {"cut in the script", [&](std::vector<u8>& f) { f.resize(section + 44 + scriptSize / 2); },
       format::kCorruptScriptDecode},
      // The installer cannot read the file data it was promised: a read failure, as for a volume.
      {"cut short", [&](std::vector<u8>& f) { f.resize(streamAt + 100); }, format::kCorruptVolumeRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u8> bytes = good;
    c.change(bytes);
    dir.Write("out/damaged.exe", bytes);
    InstallerContents contents;
    std::string error;
    ASSERT_TRUE(ReadInstaller(dir.Path("out/damaged.exe"), contents, error)) << error;
    if (c.code == 999) {
      // A flipped bit inside the compressed script either breaks decoding
      // or changes the script, caught by its checksum.
      EXPECT_TRUE(contents.code == format::kCorruptScriptDecode || contents.code == format::kCorruptScriptChecksum)
          << contents.code;
    } else {
      EXPECT_EQ(contents.code, c.code) << DescribeVerdict(contents);
    }
    EXPECT_FALSE(contents.Ok());
  }
}

// Record-level damage behind a correct stream checksum: a record's data
// checksum and an unknown type.
TEST(Installer, RecordDamageIsReportedAfterTheStreamChecksum) {
  TempDir dir;
  dir.Write("a.txt", "AAAA");
  std::string path = test::BuildAndWrite(dir, "[product]\nname = \"R\"\n[[file]]\nsource = \"a.txt\"\n");
  const std::vector<u8> good = dir.Read("out/setup.exe");
  format::PeLayout layout;
  ASSERT_EQ(format::LocateArchive(good.data(), good.size(), layout), 0);
  const u32 section = layout.rawPointer;
  const u32 streamAt = section + 36 + 4 + test::Get32(good, section + 8);
  const u32 streamSize = test::Get32(good, section + 28);
  // Record: "a.txt\0", type, flags, 4 data bytes, checksum, ...
  struct Case {
    const char* name;
    u32 offset;
    u8 value;
    i32 code;
  };
  const Case cases[] = {
      {"data byte", 6 + 8, 'B', format::kCorruptRecordChecksum},
      {"type", 6, 2, format::kCorruptRecordType},
      {"empty name", 0, 0, format::kCorruptRecordName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u8> bytes = good;
    bytes[streamAt + c.offset] = c.value;
    test::Put32(bytes, section + 32, format::Checksum32(bytes.data() + streamAt, streamSize));
    dir.Write("out/damaged.exe", bytes);
    InstallerContents contents;
    std::string error;
    ASSERT_TRUE(ReadInstaller(dir.Path("out/damaged.exe"), contents, error)) << error;
    EXPECT_EQ(contents.code, c.code) << DescribeVerdict(contents);
  }
}

// Names that leave the directory are the installer's code 70 for inspect too,
// and extraction writes nothing, although the builder itself would never
// write them: the manifest is bypassed here.
TEST(Extract, RefusesEscapingNamesAndWritesNothing) {
  const char* escapes[] = {"..\\evil.txt", "../evil.txt", "sub\\..\\..\\evil.txt", "C:\\evil.txt",
                           "\\evil.txt", "/tmp/evil.txt", "C:evil.txt"};
  for (const char* name : escapes) {
    SCOPED_TRACE(name);
    TempDir dir;
    dir.Write("good.txt", "good");
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(ParseManifest("[product]\nname = \"E\"\n[[file]]\nsource = \"good.txt\"\n[[file]]\nsource = \"good.txt\"\n",
                              dir.Path("kova.toml"), manifest, error))
        << error;
    manifest.files[1].record.name = name;
    BuildOptions options;
    options.stub = test::MakeStub();
    options.outputPath = dir.Path("setup.exe");
    options.level = CompressionLevel::kFast;
    std::vector<OutputFile> outputs;
    BuildReport report;
    ASSERT_TRUE(BuildInstaller(manifest, options, outputs, report, error)) << error;
    ASSERT_TRUE(WriteFilesAtomically(outputs, error)) << error;

    InstallerContents contents;
    ASSERT_TRUE(ReadInstaller(dir.Path("setup.exe"), contents, error)) << error;
    EXPECT_EQ(contents.code, format::kCorruptRecordName) << DescribeVerdict(contents);
    EXPECT_NE(DescribeVerdict(contents).find("file record 2"), std::string::npos) << DescribeVerdict(contents);
    std::vector<std::string> written;
    EXPECT_FALSE(ExtractFiles(contents, dir.Path("x/y"), written, error));
    EXPECT_NE(error.find("nothing written"), std::string::npos) << error;
    EXPECT_TRUE(written.empty());
    EXPECT_FALSE(dir.Exists("x"));  // not even the good file or the directory
    EXPECT_FALSE(dir.Exists("evil.txt"));
  }
}

TEST(Extract, WritesEveryFileWhereItsTypeGoesWithItsStamp) {
  TempDir dir;
  WriteSources(dir);
  std::string path = test::BuildAndWrite(dir, kFullManifest);
  InstallerContents contents;
  std::string error;
  ASSERT_TRUE(ReadInstaller(path, contents, error)) << error;
  std::vector<std::string> written;
  ASSERT_TRUE(ExtractFiles(contents, dir.Path("x"), written, error)) << error;
  EXPECT_EQ(written.size(), 4u);
  EXPECT_EQ(dir.Read("x/bin/app.bin"), RandomBytes(5000, 1));
  EXPECT_TRUE(dir.Exists("x/%SharedDir%/empty.txt"));
  EXPECT_TRUE(dir.Exists("x/%FontDir%/font.ttf"));
  EXPECT_TRUE(dir.Exists("x/Uninstall/sys.dll"));  // uninstall-dir beats the system type
  format::FileStamp stamp;
  ASSERT_TRUE(FileStampOf(dir.Path("x/bin/app.bin"), stamp, error));
  EXPECT_EQ(stamp.year, 2021);
  EXPECT_EQ(stamp.month, 1);
  EXPECT_EQ(stamp.day, 2);
  EXPECT_EQ(stamp.hour, 3);
  EXPECT_EQ(stamp.minute, 4);
  EXPECT_EQ(stamp.second, 5);
  // A symbolic link inside the directory is not followed.
  std::filesystem::remove_all(dir.Path("x/bin"));
  std::filesystem::create_directory_symlink(dir.Path("data"), dir.Path("x/bin"));
  EXPECT_FALSE(ExtractFiles(contents, dir.Path("x"), written, error));
  EXPECT_NE(error.find("is a symbolic link"), std::string::npos) << error;
}

}  // namespace
}  // namespace kova::builder
