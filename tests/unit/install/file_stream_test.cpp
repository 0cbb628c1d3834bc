// The file data stream: in place, from volumes with the prompts for a
// missing or wrong volume, checked and decompressed.
#include "install/file_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "format/block_test_support.h"
#include "format/decompress.h"
#include "format/file_record.h"
#include "install/install_fixture.h"
#include "payload/fatal.h"
#include "payload/message_box.h"
#include "platform/window.h"

namespace kova::install {
namespace {

// The prompt's scripted answers: each box shown is recorded, then the next
// action runs (it may put a volume in place) and its answer is given.
struct PromptScript {
  struct Step {
    int answer;
    std::function<void()> action;
  };
  std::vector<Step> steps;
  std::vector<std::string> shown;  // "caption|text|style"
};
PromptScript* script = nullptr;

int ScriptedPrompt(platform::WindowHandle, const char* text, const char* caption, u32 style) {
  script->shown.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
  if (script->shown.size() > script->steps.size()) {
    ADD_FAILURE() << "unexpected box: " << text;
    return platform::kIdOk;
  }
  const PromptScript::Step& step = script->steps[script->shown.size() - 1];
  if (step.action) step.action();
  return step.answer;
}

class FileStreamTest : public test::InstallTest {
 protected:
  void SetUp() override {
    InstallTest::SetUp();
    script = &prompts;
    payload::SetMessageBoxFunction(ScriptedPrompt);
    for (int i = 0; i < 3000; ++i) data.push_back(static_cast<u8>(i * 7 + i / 13));
  }
  void TearDown() override {
    script = nullptr;
    InstallTest::TearDown();
  }

  // The installer holds the first inFile bytes of data; the rest is split
  // into volumes of the given sizes (each after its sequence number).
  FileStreamInput Split(size_t inFile, const std::vector<size_t>& volumes, u32 firstSequence = 7000) {
    std::vector<u8> file(32, 0xAB);
    file.insert(file.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(inFile));
    source = std::make_unique<test::VectorSource>(file);
    size_t at = inFile;
    for (size_t i = 0; i < volumes.size(); ++i) {
      test::ByteWriter volume;
      volume.U32(firstSequence + static_cast<u32>(i));
      size_t n = std::min(volumes[i], data.size() - at);
      volume.Raw(data.data() + at, n);
      volume.Fill(0x55, volumes[i] - n);  // a volume may hold more than is missing
      at += n;
      volumeBytes.push_back(volume.bytes);
      PutBytes(VolumeName(static_cast<int>(i) + 2).c_str(), volume.bytes);
    }
    FileStreamInput input;
    input.programFile = source.get();
    input.streamStart = 32;
    input.bytesInProgramFile = static_cast<i64>(inFile);
    input.length = static_cast<i32>(data.size());
    input.checksum = test::ChecksumOf(data);
    input.volumeFolder = Path("Setup");
    input.volumeBaseName = "DISK";
    input.firstSequenceNumber = firstSequence;
    return input;
  }
  static std::string VolumeName(int number) { return "Setup\\DISK" + std::to_string(number) + ".KVA"; }
  std::string Positions() const {
    std::string positions;
    for (const std::string& call : progress.calls)
      if (call.compare(0, 9, "position ") == 0) positions += call.substr(9) + " ";
    return positions;
  }
  std::vector<u8> Bytes(const format::FileStreamBytes& stream) const {
    return std::vector<u8>(stream.Data(), stream.Data() + stream.Size());
  }
  std::string Prompt(bool wrong) {
    char drive = core::DriveLetterOf(Path("Setup").CStr());
    return std::string("message 27|") + (wrong ? "message 30\r\n\r\n" : "") + "Insert disk 2 into drive " + drive +
           ":|" + std::to_string(platform::kBoxOkCancel | platform::kBoxIconQuestion);
  }

  std::vector<u8> data;
  std::unique_ptr<test::VectorSource> source;
  std::vector<std::vector<u8>> volumeBytes;
  PromptScript prompts;
};

TEST_F(FileStreamTest, AStreamHeldWholeIsReadOnceAndNoVolumeIsLookedFor) {
  FileStreamInput input = Split(data.size(), {});
  input.bytesInProgramFile += 100;  // the archive may end later than the stream
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(Bytes(stream), data);
  EXPECT_EQ(source->reads, 1);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(Positions(), "36 ");
}

TEST_F(FileStreamTest, AStreamTheSourceCanLendIsUsedInPlace) {
  std::vector<u8> installer(100, 0x5A);
  installer.insert(installer.end(), data.begin(), data.end());
  format::MemorySource lender(installer.data(), static_cast<i64>(installer.size()));
  FileStreamInput input = Split(data.size(), {});
  input.programFile = &lender;
  input.streamStart = 100;
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(stream.Data(), installer.data() + 100) << "the stream was copied";
  EXPECT_EQ(Bytes(stream), data);
}

TEST_F(FileStreamTest, VolumesContinueTheStreamAndGiveNoMoreThanIsMissing) {
  FileStreamInput input = Split(1000, {1200, 2000});  // the last one holds 1,200 bytes too many
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(Bytes(stream), data);
  EXPECT_EQ(stream.Size(), data.size());
  // 5 + 30 x bytes so far / 3000 before each volume, then the checksum phase.
  EXPECT_EQ(Positions(), "15 27 36 ");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(FileStreamTest, AStreamEntirelyInVolumes) {
  FileStreamInput input = Split(0, {3000});
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(Bytes(stream), data);
  EXPECT_EQ(Positions(), "5 36 ");
}

TEST_F(FileStreamTest, MissingVolumePromptsWithoutTheWrongDiskLine) {
  payload::SetAutomaticMode(false);
  FileStreamInput input = Split(1000, {2000});
  std::vector<u8> volume = volumeBytes[0];
  ASSERT_TRUE(platform::RemoveFile(Path(VolumeName(2).c_str()).CStr()));
  prompts.steps = {{platform::kIdOk, nullptr},
                   {platform::kIdOk, [&] { PutBytes(VolumeName(2).c_str(), volume); }}};
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(Bytes(stream), data);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0], Prompt(false));
  EXPECT_EQ(prompts.shown[1], Prompt(true));  // missed again: from the second prompt on
}

TEST_F(FileStreamTest, WrongVolumesPromptWithTheWrongDiskLine) {
  payload::SetAutomaticMode(false);
  FileStreamInput input = Split(1000, {2000});
  std::vector<u8> good = volumeBytes[0];
  std::vector<u8> otherBuild = good;
  otherBuild[0] ^= 1;  // another sequence number
  PutBytes(VolumeName(2).c_str(), otherBuild);
  prompts.steps = {{platform::kIdOk, [&] { PutBytes(VolumeName(2).c_str(), {0x58, 0x1B, 0, 0}); }},  // 4 bytes
                   {platform::kIdOk, [&] { PutBytes(VolumeName(2).c_str(), good); }}};
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(Bytes(stream), data);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0], Prompt(true));
  EXPECT_EQ(prompts.shown[1], Prompt(true));
}

TEST_F(FileStreamTest, CancelAnsweredNoGoesOnLooking) {
  payload::SetAutomaticMode(false);
  FileStreamInput input = Split(1000, {2000});
  std::vector<u8> volume = volumeBytes[0];
  ASSERT_TRUE(platform::RemoveFile(Path(VolumeName(2).c_str()).CStr()));
  prompts.steps = {{platform::kIdCancel, nullptr},
                   {platform::kIdNo, [&] { PutBytes(VolumeName(2).c_str(), volume); }}};
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1],
            "message 20|message 28|" + std::to_string(platform::kBoxYesNo | platform::kBoxIconQuestion));
}

#ifndef _WIN32
// Yes to the cancel question ends the program (natively only: the death
// test forks).
TEST_F(FileStreamTest, CancelAnsweredYesEndsTheProgram) {
  payload::SetAutomaticMode(false);
  FileStreamInput input = Split(1000, {2000});
  ASSERT_TRUE(platform::RemoveFile(Path(VolumeName(2).c_str()).CStr()));
  prompts.steps = {{platform::kIdCancel, nullptr}, {platform::kIdYes, nullptr}};
  EXPECT_EXIT(
      {
        format::FileStreamBytes stream;
        LoadFileStream(input, stream);
      },
      ::testing::ExitedWithCode(1), "");
}
#endif

TEST_F(FileStreamTest, AutomaticModeAsksNobodyAndStops) {
  FileStreamInput input = Split(1000, {2000});
  ASSERT_TRUE(platform::RemoveFile(Path(VolumeName(2).c_str()).CStr()));
  format::FileStreamBytes stream;
  EXPECT_EQ(LoadFileStream(input, stream), format::kCorruptVolumeRead);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(FileStreamTest, DamageGivesItsCode) {
  format::FileStreamBytes stream;
  FileStreamInput input = Split(data.size(), {});
  input.checksum ^= 1;
  EXPECT_EQ(LoadFileStream(input, stream), format::kCorruptStreamChecksum);

  input = Split(2000, {});  // more than the installer holds, no volume
  input.bytesInProgramFile = 3000;  // ... though the archive end says otherwise
  EXPECT_EQ(LoadFileStream(input, stream), format::kCorruptVolumeRead);

  input = Split(data.size(), {});
  input.bytesInProgramFile = -4;  // the archive ends before the stream
  EXPECT_EQ(LoadFileStream(input, stream), format::kCorruptArchiveEnd);
}

TEST_F(FileStreamTest, CompressedStreamsAreDecompressedWhole) {
  // A block of literal runs holding data.
  format::testing::BlockBuilder builder;
  for (size_t at = 0; at < data.size(); at += 1000)
    builder.Literals(std::vector<u8>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                     data.begin() + static_cast<std::ptrdiff_t>(std::min(at + 1000, data.size()))));
  std::vector<u8> block = builder.Block(static_cast<i32>(data.size()));
  std::vector<u8> original = data;
  data = block;
  FileStreamInput input = Split(block.size() / 2, {block.size()});
  input.compressed = true;
  input.maxDecompressedSize = original.size();
  format::FileStreamBytes stream;
  ASSERT_EQ(LoadFileStream(input, stream), 0);
  EXPECT_EQ(Bytes(stream), original);
  EXPECT_EQ(Positions(), "20 36 40 ");

  input.maxDecompressedSize = original.size() - 1;  // the block declares more than the records can hold
  EXPECT_EQ(LoadFileStream(input, stream), format::kCorruptStreamDecode);

  data = std::vector<u8>(block.begin(), block.end() - 40);  // cut short, checksum of the cut bytes
  input = Split(data.size(), {});
  input.compressed = true;
  input.maxDecompressedSize = original.size();
  EXPECT_EQ(LoadFileStream(input, stream), format::kCorruptStreamDecode);
}

}  // namespace
}  // namespace kova::install

namespace kova::install {
namespace {

// The decompressed-size cap grows with the size table and stops at the
// decoder's limit; sizes near 2 GiB must not wrap it negative.
TEST(FileStreamLimit, MaxRecordBytesSaturates) {
  core::Array<i32> sizes;
  EXPECT_EQ(format::MaxRecordBytes(sizes), 65536u);
  sizes.Append(100);
  EXPECT_EQ(format::MaxRecordBytes(sizes), 65536u + 100 + format::kRecordFixedBytes + 65536);
  sizes.Append(0x7FFFFFFE);
  sizes.Append(-5);
  EXPECT_EQ(format::MaxRecordBytes(sizes), 0x7FFFFFFFu);
}

}  // namespace
}  // namespace kova::install
