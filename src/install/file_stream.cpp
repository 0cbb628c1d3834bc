// Loading the file data stream with the installer's volume prompts; see
// file_stream.h.
#include "install/file_stream.h"

#include "core/paths.h"
#include "format/corrupt_codes.h"
#include "install/file.h"
#include "install/file_source.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/message_box.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "platform/window.h"
#include "ui/progress.h"

namespace kova::install {
namespace {

// Asks for the disk that holds volume number; wrong: a file was there but
// was not that volume. Cancelling, confirmed, ends the program.
void AskForVolume(i32 number, const core::String& path, bool wrong) {
  core::String text;
  if (wrong) {
    text = payload::GetMessage(payload::kMsgWrongDisk);
    text += "\r\n\r\n";
  }
  char drive = core::DriveLetterOf(path.CStr());
  text += payload::FormatMessageText(payload::GetMessage(payload::kMsgInsertDisk).CStr(), {number, drive ? drive : ' '});
  int answer = payload::ShowBox(payload::DialogOwner(), text.CStr(), payload::GetMessage(payload::kMsgNextDiskCaption).CStr(), platform::kBoxOkCancel | platform::kBoxIconQuestion);
  if (answer == platform::kIdOk) return;
  if (payload::ShowBox(payload::DialogOwner(), payload::GetMessage(payload::kMsgCancelQuestion).CStr(), payload::GetMessage(payload::kMsgQuestionCaption).CStr(),
               platform::kBoxYesNo | platform::kBoxIconQuestion) == platform::kIdYes)
    payload::ExitInstaller();
}

// The volumes beside the installer, asked for on the installer's own boxes.
class PromptedVolumes final : public format::VolumeFiles {
 public:
  explicit PromptedVolumes(const FileStreamInput& input) : input_(input) {}

  format::ByteSource* Open(i32 number) override {
    file_.Close();
    return file_.Open(PathOf(number).CStr(), kModeRead) == kOpenOk ? &source_ : nullptr;
  }
  i32 Refused(i32 number, bool wrong) override {
    file_.Close();
    if (payload::IsAutomaticMode()) return format::kCorruptVolumeRead;
    AskForVolume(number, PathOf(number), wrong);
    return 0;
  }
  void Reading(i32, i64 filled, i64 length) override { ui::SetPosition(static_cast<i32>(5 + filled * 30 / length)); }

 private:
  core::String PathOf(i32 number) const {
    return VolumePath(input_.volumeFolder.CStr(), input_.volumeBaseName.CStr(), number);
  }

  const FileStreamInput& input_;
  File file_;
  FileSource source_{file_};
};

}  // namespace

core::String VolumePath(const char* folder, const char* baseName, i32 number) {
  return core::JoinPath(folder, format::VolumeFileName(baseName, number).CStr());
}

i32 LoadFileStream(const FileStreamInput& input, format::FileStreamBytes& stream) {
  ui::SetPhase(payload::kMsgPhasePreparing);
  PromptedVolumes volumes(input);
  if (i32 code = format::AssembleFileStream(input.programFile, input, &volumes, stream)) return code;
  ui::WaitStep(700);
  ui::SetPhaseAndPosition(payload::kMsgPhaseChecking, 36);
  if (i32 code = format::CheckFileStream(input, stream)) return code;
  ui::WaitStep(350);
  if (input.compressed && input.length != 0) {
    ui::SetPhaseAndPosition(payload::kMsgPhaseDecompressing, 40);
    if (i32 code = format::DecodeFileStream(input, stream)) return code;
    ui::WaitStep(700);
  }
  return 0;
}

}  // namespace kova::install
