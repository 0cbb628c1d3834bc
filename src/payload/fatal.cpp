// Fatal and non-fatal error boxes and the one exit; see fatal.h.
#include "payload/fatal.h"

#include <cstdarg>

#include "core/failure.h"
#include "core/format.h"
#include "core/string.h"
#include "payload/command_line.h"
#include "payload/message_box.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "payload/system_paths.h"
#include "payload/window_handles.h"
#include "platform/process.h"

namespace kova::payload {
namespace {

constexpr const char* kCorruptText =
    "This installation program is corrupt.  This is usually caused by a faulty download, but it "
    "can also be caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
    "Delete the corrupted installer (to prevent caching), then re-download it.  If the problem "
    "persists, check your system for viruses.\r\n\r\nError code: %d";

constexpr const char* kUsageFormat =
    "%s\n\nUsage:\n%s [/a] [/d:<dir>] [/n:<name>] [/u:<name>]\n\n/a\tAutomatic mode\n"
    "/d:\"dir\"\tOverride installation directory\n/n:\"name\"\tOverride product name\n"
    "/u:\"name\"\tUninstall product by name";

bool gEndedByFatalError = false;

[[noreturn]] void ShowFatal(const core::String& text) {
  gEndedByFatalError = true;
  platform::ShowMessageBox(DialogOwner(), text.CStr(), "FATAL ERROR",
                           platform::kBoxIconHand | platform::kBoxTaskModal);
  ExitInstaller();
}

void OnInternalError(const char* module, int line) { InternalError(module, line); }

void OnFatalError(const char* text) { FatalError("%s", text); }

void OnOutOfMemory(core::OutOfMemoryKind kind, i64 requested) {
  // Formatting the text allocates too. A failure while reporting one (the
  // allocator is truly exhausted) shows the short text without formatting.
  static bool reporting = false;
  if (reporting) {
    platform::ShowMessageBox(DialogOwner(), "Out of memory", "FATAL ERROR",
                             platform::kBoxIconHand | platform::kBoxTaskModal);
    ExitInstaller();
  }
  reporting = true;
  if (kind == core::OutOfMemoryKind::kConstruct) FatalError("Out of memory");
  core::String grouped = core::GroupedNumber(requested);
  FatalError("Out Of Memory.  Make sure your hard drive is not full.\nRequested size = %s", grouped.CStr());
}

}  // namespace

platform::WindowHandle DialogOwner() {
  if (payload::ProgressDialog()) return payload::ProgressDialog();
  return payload::SetupWindow();
}

void FatalError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  core::String text;
  text.FormatV(format, args);
  va_end(args);
  ShowFatal(text);
}

core::String CorruptArchiveText(i32 code) {
  core::String format = GetMessage(kMsgCorruptArchive);
  if (format.IsEmpty()) format = kCorruptText;
  return FormatMessageText(format.CStr(), {code});
}

core::String UsageText(const char* text) {
  return core::Formatted(kUsageFormat, text, payload::GetSystemPaths().installerName.CStr());
}

void CorruptArchive(i32 code) { ShowFatal(CorruptArchiveText(code)); }

void UsageError(const char* text) { ShowFatal(UsageText(text)); }

void InternalError(const char* module, int line) {
  FatalError("Internal Fatal Error\r\nModule: %s\r\nLine: %d", module, line);
}

void ShowError(const char* format, ...) {
  if (IsAutomaticMode()) return;
  std::va_list args;
  va_start(args, format);
  core::String text;
  text.FormatV(format, args);
  va_end(args);
  if (core::IsBlankText(text.CStr())) return;
  core::String caption = GetMessage(kMsgErrorCaption);
  if (caption.IsEmpty()) caption = "Error";
  ShowBox(DialogOwner(), text.CStr(), caption.CStr(), platform::kBoxIconHand);
}

void ExitInstaller() {
  if (platform::WindowHandle progress = payload::ProgressDialog()) {
    platform::DestroyWindow(progress);
    payload::SetProgressDialog(nullptr);
  }
  if (platform::WindowHandle setup = payload::SetupWindow()) {
    platform::MinimizeWindow(setup);
    platform::DestroyWindow(setup);
    payload::SetSetupWindow(nullptr);
  }
  PumpMessages();
  platform::ExitProcess(1);
}

bool PumpMessages() { return platform::PumpMessages(); }

bool EndedByFatalError() { return gEndedByFatalError; }

void InstallFailureHandlers() {
  core::SetFailureHandlers(OnInternalError, OnOutOfMemory);
  core::SetFatalErrorHandler(OnFatalError);
}

}  // namespace kova::payload
