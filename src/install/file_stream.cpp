// Assembling, checking and decompressing the file data stream; see
// file_stream.h.
#include "install/file_stream.h"

#include "install/file.h"
#include "core/paths.h"
#include "format/checksum.h"
#include "payload/command_line.h"
#include "format/decompress.h"
#include "payload/fatal.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "platform/window.h"
#include "ui/progress.h"

namespace kova::install {
namespace {

int ShowPromptBox(const char* text, const char* caption, u32 style) {
  return platform::ShowMessageBox(payload::DialogOwner(), text, caption, style);
}

VolumePromptFunction& Prompt() {
  static VolumePromptFunction prompt = ShowPromptBox;
  return prompt;
}

u32 Le32(const u8* p) {
  return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16 |
         static_cast<u32>(p[3]) << 24;
}

// Asks for the disk that holds volume number; wrong: a file was there but
// was not that volume. Cancelling, confirmed, ends the program.
void AskForVolume(i32 number, const core::String& path, bool wrong) {
  core::String text;
  if (wrong) {
    text = payload::GetMessage(30);
    text += "\r\n\r\n";
  }
  char drive = core::DriveLetterOf(path.CStr());
  text += payload::FormatMessageText(payload::GetMessage(26).CStr(), {number, drive ? drive : ' '});
  int answer = Prompt()(text.CStr(), payload::GetMessage(27).CStr(), platform::kBoxOkCancel | platform::kBoxIconQuestion);
  if (answer == platform::kIdOk) return;
  if (Prompt()(payload::GetMessage(28).CStr(), payload::GetMessage(20).CStr(),
               platform::kBoxYesNo | platform::kBoxIconQuestion) == platform::kIdYes)
    payload::ExitInstaller();
}

// Opens the next volume and checks its sequence number, asking until the
// right one is there. Returns 0 with the volume open after its number, or
// 50 when nobody can be asked.
i32 OpenVolume(const core::String& path, i32 number, u32 expected, File& volume, i32* size) {
  for (int attempts = 0;; ) {
    if (attempts > 0) {
      if (payload::IsAutomaticMode()) return format::kCorruptVolumeRead;
      AskForVolume(number, path, attempts > 1);
    }
    if (volume.Open(path.CStr(), kModeRead) != kOpenOk) {
      ++attempts;
      continue;
    }
    u8 head[4];
    *size = volume.Size();
    if (*size <= 4 || !volume.ReadBlock(head, 4) || Le32(head) != expected) {
      volume.Close();
      attempts = 2;
      continue;
    }
    return 0;
  }
}

// The stream from the installer's bytes and as many volumes as it takes. The
// buffer is sized for the whole stream only once a first volume has been
// found, so a damaged length in an installer without volumes allocates
// nothing. A volume never gives more than the bytes still missing.
i32 AssembleFromVolumes(const FileStreamInput& input, i64 present, core::ByteBuffer& stream) {
  const i64 length = input.length;
  i64 filled = present;
  bool allocated = false;
  u32 expected = input.firstSequenceNumber;
  for (i32 number = 2; filled < length; ++number) {
    ui::SetPosition(static_cast<i32>(5 + filled * 30 / length));
    core::String path = VolumePath(input.volumeFolder.CStr(), input.volumeBaseName.CStr(), number);
    File volume;
    i32 size = 0;
    if (i32 code = OpenVolume(path, number, expected, volume, &size)) return code;
    ++expected;
    if (!allocated) {
      stream.Reserve(static_cast<std::size_t>(length));
      if (present > 0 && !input.programFile->ReadAt(input.streamStart, stream.Data(), present))
        return format::kCorruptVolumeRead;
      allocated = true;
    }
    i64 take = size - 4 < length - filled ? size - 4 : length - filled;
    if (!volume.ReadBlock(stream.Data() + filled, static_cast<i32>(take))) return format::kCorruptVolumeRead;
    filled += take;
  }
  stream.SetSizeUnchecked(static_cast<std::size_t>(length));
  return 0;
}

}  // namespace

void SetVolumePrompt(VolumePromptFunction prompt) { Prompt() = prompt ? prompt : ShowPromptBox; }

core::String VolumePath(const char* folder, const char* baseName, i32 number) {
  core::String name = core::Formatted("%s%d.KVA", baseName ? baseName : "", number);
  return core::JoinPath(folder, name.CStr());
}

i32 LoadFileStream(const FileStreamInput& input, core::ByteBuffer& stream) {
  ui::SetPhase(8);
  stream = core::ByteBuffer();
  if (input.length < 0) return format::kCorruptFileDataSize;
  if (input.bytesInProgramFile < 0) return format::kCorruptArchiveEnd;
  if (!input.programFile && input.bytesInProgramFile > 0 && input.length > 0) return format::kCorruptVolumeRead;
  if (input.bytesInProgramFile >= input.length) {
    // The whole stream is here: read once, used in place.
    stream.Reserve(static_cast<std::size_t>(input.length));
    if (input.length > 0 && !input.programFile->ReadAt(input.streamStart, stream.Data(), input.length))
      return format::kCorruptVolumeRead;
    stream.SetSizeUnchecked(static_cast<std::size_t>(input.length));
  } else if (i32 code = AssembleFromVolumes(input, input.bytesInProgramFile, stream)) {
    return code;
  }

  ui::WaitStep(700);
  ui::SetPhaseAndPosition(62, 36);
  if (format::Checksum32(stream.Data(), static_cast<i64>(stream.Size())) != input.checksum)
    return format::kCorruptStreamChecksum;
  ui::WaitStep(350);
  if (input.compressed && input.length != 0) {
    ui::SetPhaseAndPosition(29, 40);
    if (!format::Decompress(stream, input.maxDecompressedSize)) return format::kCorruptStreamDecode;
    ui::WaitStep(700);
  }
  return 0;
}

}  // namespace kova::install
