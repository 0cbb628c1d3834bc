// The dialogs of the setup flow on a terminal, with the texts the dialogs
// show, each in the shape of a message box on the terminal (caption, text,
// a line of answers with the default in brackets): a numbered language
// list, a page with its two answers, a directory prompt with the current
// directory as its default. Questions go to standard
// error; answers come from standard input, a terminal or a file read line by
// line. An empty line takes the default (the dialog's default button); the
// end of input refuses, so no question waits for ever.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/string.h"
#include "payload/messages.h"
#include "ui/dialog_view.h"

namespace kova::ui {
namespace {

// The next line of standard input without its line end; false at the end of
// input. When the answers come from a file they are echoed, so the
// transcript reads as a dialogue.
bool ReadAnswer(core::String& answer) {
  answer.Clear();
  char chunk[256];
  bool any = false;
  while (std::fgets(chunk, sizeof chunk, stdin)) {
    any = true;
    size_t length = std::strlen(chunk);
    bool lineEnd = length > 0 && chunk[length - 1] == '\n';
    if (lineEnd) chunk[--length] = '\0';
    if (length > 0 && chunk[length - 1] == '\r') chunk[--length] = '\0';
    answer += chunk;
    if (lineEnd) break;
  }
  if (!any || !isatty(STDIN_FILENO)) std::fprintf(stderr, "%s\n", answer.CStr());
  return any;
}

char FirstLetter(const core::String& answer) {
  for (const char* p = answer.CStr(); *p; ++p)
    if (*p != ' ' && *p != '\t') return static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p + 32 : *p);
  return '\0';
}

void Heading(const core::String& caption) { std::fprintf(stderr, "\n[%s]\n", caption.CStr()); }

// Asks until the answer is the accept key, the refuse key or empty (the
// accept button is the default); false for a refusal or the end of input.
bool AcceptOrRefuse(const core::String& accept, const core::String& refuse) {
  for (;;) {
    std::fprintf(stderr, "(a) %s  (r) %s [%s]: ", accept.CStr(), refuse.CStr(), accept.CStr());
    std::fflush(stderr);
    core::String answer;
    if (!ReadAnswer(answer)) return false;
    char letter = FirstLetter(answer);
    if (letter == '\0' || letter == 'a') return true;
    if (letter == 'r') return false;
  }
}

class TerminalDialogs final : public DialogView {
 public:
  int ChooseLanguage() override {
    Heading(core::String("Choose Your Language"));
    i32 count = payload::LanguageCount();
    for (i32 i = 0; i < count; ++i)
      std::fprintf(stderr, "%3d) %s\n", static_cast<int>(i + 1), payload::LanguageName(i).CStr());
    for (;;) {
      // The buttons speak the language chosen last, as the dialog's follow
      // the highlighted one.
      std::fprintf(stderr, "(c) %s, or a number for %s [%d]: ", payload::GetMessage(payload::kMsgCancelButton).CStr(),
                   payload::GetMessage(payload::kMsgOkButton).CStr(), static_cast<int>(payload::LanguageIndex() + 1));
      std::fflush(stderr);
      core::String answer;
      if (!ReadAnswer(answer)) return kDialogRefuse;
      answer.Trim();
      if (answer.IsEmpty()) return kDialogAccept;
      if (FirstLetter(answer) == 'c') return kDialogRefuse;
      i64 number = answer.ToNumber();
      if (number >= 1 && number <= count) {
        payload::SetLanguageIndex(static_cast<i32>(number - 1));
        return kDialogAccept;
      }
    }
  }

  int ShowPage(PageKind kind, const char* text) override {
    bool license = kind == PageKind::kLicense;
    Heading(payload::GetMessage(license ? payload::kMsgLicenseCaption : payload::kMsgReadmeCaption));
    std::fprintf(stderr, "%s\n\n%s\n\n",
                 payload::GetMessage(license ? payload::kMsgLicensePrompt : payload::kMsgReadmePrompt).CStr(),
                 text);
    bool accepted =
        license ? AcceptOrRefuse(payload::GetMessage(payload::kMsgLicenseAccept),
                                 payload::GetMessage(payload::kMsgLicenseRefuse))
                : AcceptOrRefuse(payload::GetMessage(payload::kMsgOkButton),
                                 payload::GetMessage(payload::kMsgCancelButton));
    return accepted ? kDialogAccept : kDialogRefuse;
  }

  bool ChooseDirectory(core::String& directory) override {
    Heading(payload::GetMessage(payload::kMsgDirectoryCaption));
    std::fprintf(stderr, "%s\n(c) %s, or a folder [%s]: ", payload::GetMessage(payload::kMsgChooseDirectory).CStr(),
                 payload::GetMessage(payload::kMsgCancelButton).CStr(), directory.CStr());
    std::fflush(stderr);
    core::String answer;
    if (!ReadAnswer(answer)) return false;
    core::String trimmed(answer);
    trimmed.Trim();
    // A lone "c" is Cancel: no folder is named so.
    if (trimmed.EqualsNoCase("c")) return false;
    if (!trimmed.IsEmpty()) directory = answer;
    return true;
  }
};

}  // namespace

DialogView& DefaultDialogView() {
  static TerminalDialogs view;
  return view;
}

}  // namespace kova::ui
