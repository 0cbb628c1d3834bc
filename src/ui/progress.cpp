// The progress operations; see progress.h.
#include "ui/progress.h"

#include <cstdarg>

#include "core/lasting.h"
#include "core/string.h"
#include "format/install_script.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/message_box.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "payload/window_handles.h"
#include "platform/process.h"
#include "ui/progress_view.h"

namespace kova::ui {
namespace {

struct ProgressState {
  ProgressView* view = nullptr;
  bool open = false;
  u32 stepStart = 0;
};

ProgressState& State() {
  static core::Lasting<ProgressState> state;
  return state.Get();
}

ProgressView& View() {
  ProgressState& state = State();
  if (!state.view) state.view = &DefaultProgressView();
  return *state.view;
}

}  // namespace

void SetProgressView(ProgressView* view) { State().view = view; }

void OpenProgress() {
  bool cancelEnabled = !(payload::ProductFlags() & format::kFlagNoCancel);
  platform::WindowHandle dialog = View().Open(payload::GetMessage(payload::kMsgProgressCaption).CStr(), payload::GetMessage(payload::kMsgProgressHeading).CStr(),
                                              payload::GetMessage(payload::kMsgCancelButton).CStr(), cancelEnabled);
  payload::SetProgressDialog(dialog);
  State().open = true;
}

void CloseProgress() {
  if (!State().open) return;
  View().Close();
  payload::SetProgressDialog(nullptr);
  State().open = false;
}

bool SetStatus(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  core::String text;
  text.FormatV(format, args);
  va_end(args);
  if (State().open) View().SetStatus(text.CStr());
  return payload::PumpMessages();
}

bool SetPosition(i32 percent) {
  if (State().open) View().SetPosition(percent);
  return payload::PumpMessages();
}

void StartStep() { State().stepStart = platform::TickCount(); }

void SetPhase(i32 message) {
  StartStep();
  // The message is shown as it stands: it is a text of the archive, not a
  // format to trust.
  SetStatus("%s", payload::GetMessage(message).CStr());
}

void SetPhaseAndPosition(i32 message, i32 percent) {
  SetPhase(message);
  SetPosition(percent);
}

void WaitStep(u32 milliseconds) {
  if (payload::IsAutomaticMode()) return;
  for (u32 i = 0; i < milliseconds; ++i) {
    if (payload::PumpMessages()) return;
    // Unsigned ticks wrap; a clock that went backwards reads as a huge
    // elapsed time and ends the wait, as a negative one would.
    u32 elapsed = platform::TickCount() - State().stepStart;
    if (elapsed >= milliseconds) return;
    platform::SleepMilliseconds(1);
  }
}

void ConfirmCancel() {
  int answer = payload::ShowBox(payload::DialogOwner(), payload::GetMessage(payload::kMsgCancelQuestion).CStr(),
                                        payload::GetMessage(payload::kMsgQuestionCaption).CStr(),
                                        platform::kBoxYesNo | platform::kBoxIconQuestion);
  if (answer == platform::kIdYes) payload::ExitInstaller();
}

}  // namespace kova::ui
