// The installation log; see install_log.h.
//
// The order matters to the user: the closing box comes first (it also
// decides whether the log is opened afterwards), then the section is
// written, then the log is shown. A log that cannot be written is not
// reported; only the offer to open it is dropped.
#include "install/install_log.h"

#include "core/string.h"
#include "format/archive.h"
#include "format/install_script.h"
#include "install/uninstall_data_path.h"
#include "install/whole_file.h"
#include "payload/command_line.h"
#include "payload/fatal.h"
#include "payload/folders.h"
#include "payload/message_box.h"
#include "payload/message_format.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "platform/process.h"
#include "platform/window.h"

namespace kova::install {
namespace {

InstallLogClock& Clock() {
  static InstallLogClock clock = platform::LocalTime;
  return clock;
}

// The section: header, log text and error text. The two texts can be long
// and are appended, never passed through a format (one Format call is cut
// at 32,767 characters).
core::String BuildSection(const core::String& logText, bool reinstall, const core::String& errorText,
                          const char* productVersion) {
  const payload::InstallFolders& folders = payload::Folders();
  core::String section;
  section.Format("\r\nInstallation log for: %s\r\n", folders.productName.CStr());
  section.AppendFormat("Install date: %s\r\n", core::FormatDateTime(Clock()(), core::kLogDateFormat).CStr());
  section.AppendFormat("Install type: %s\r\n", reinstall ? "Reinstall" : "New");
  section.AppendFormat("Install location: %s\r\n", folders.installDir.CStr());
  section.AppendFormat("Installer version: %.1f\r\n", format::kBuilderVersion / 100.0);
  if (!core::IsBlankText(productVersion)) section.AppendFormat("Product version: %s\r\n", productVersion);
  section += "\r\n";
  if (!logText.IsEmpty()) {
    section += logText;
    section += "\r\n";
  }
  section += errorText;
  return section;
}

// The log in the program the shell associates with it, else in the text
// editor; a failing editor is not reported.
void ShowLog(const core::String& logPath) {
  if (OpenDocument(logPath.CStr())) return;
  core::String command("notepad.exe ");
  command += logPath;
  RunProcess(command.CStr(), 0, nullptr);
}

}  // namespace

void SetInstallLogClock(InstallLogClock clock) { Clock() = clock ? clock : platform::LocalTime; }


void WriteInstallLog(const core::String& logText, bool reinstall, core::String errorText, bool report,
                     const char* productVersion) {
  const core::String logPath = UninstallDataPath(kInstallLogName);
  const bool clean = errorText.IsEmpty();
  const bool automatic = payload::IsAutomaticMode();
  const u32 flags = payload::ProductFlags();
  bool viewLog = false;

  if (report) {
    if (clean) {
      if (!automatic) {
        // The view-log message is a text of the archive: its %s is filled by the safe
        // formatter, never by printf.
        core::String text = payload::FormatMessageText(payload::GetMessage(payload::kMsgViewLog).CStr(), {logPath});
        int answer = payload::ShowBox(payload::DialogOwner(), text.CStr(), payload::GetMessage(payload::kMsgViewLogCaption).CStr(),
                           platform::kBoxYesNo | platform::kBoxIconAsterisk);
        viewLog = answer == platform::kIdYes;
      }
    } else {
      if (!automatic && !(flags & format::kFlagNoLogErrorBox))
        payload::ShowBox(payload::DialogOwner(), payload::GetMessage(payload::kMsgErrorsLogged).CStr(),
              payload::GetMessage(payload::kMsgErrorsCaption).CStr(), platform::kBoxOk | platform::kBoxIconAsterisk);
      errorText += payload::GetMessage(payload::kMsgErrorsCaption);
      errorText += "\r\n\r\n";
    }
  }

  if ((flags & format::kFlagAlwaysLog) || !clean || !logText.IsEmpty()) {
    core::String section = BuildSection(logText, reinstall, errorText, productVersion);
    if (!AppendTextToFile(logPath.CStr(), section.CStr(), 0)) viewLog = false;
  }

  if (viewLog) ShowLog(logPath);
}

}  // namespace kova::install
