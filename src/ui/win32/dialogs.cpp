// The modal dialogs of the setup flow on Windows: the templates LANGUAGEDLG,
// LICENSEDLG, READMEDLG and CHOOSEDIRDLG (resources/kovastub.rc), owned by
// the setup window and centred on the screen. Every text but the language
// dialog's caption comes from the message table of the current language, so
// one template serves every language.
//
// Only the dialog's own buttons end it: IDCANCEL, which the Esc key and the
// caption's close box send, is left unhandled and the dialog stays open.
#include "core/lasting.h"
#include "core/string.h"
#include "payload/messages.h"
#include "payload/window_handles.h"
#include "platform/win32/windows.h"
#include "ui/dialog_view.h"
#include "ui/win32/center_window.h"
#include "ui/win32/folder_browser.h"

namespace kova::ui {
namespace {

// Control identifiers, shared across the templates.
constexpr int kAcceptButton = 1001;
constexpr int kRefuseButton = 1003;
constexpr int kPageText = 1005;
constexpr int kPromptText = 1009;
constexpr int kBrowseButton = 1013;
constexpr int kDirectoryEdit = 1015;
constexpr int kLanguageList = 1017;

// The directory edit holds at most a path's length.
constexpr WPARAM kDirectoryLimit = 259;

void SetMessageText(HWND dialog, int control, i32 message) {
  SetDlgItemTextA(dialog, control, payload::GetMessage(message).CStr());
}

void SetOkCancelTexts(HWND dialog) {
  SetMessageText(dialog, kAcceptButton, payload::kMsgOkButton);
  SetMessageText(dialog, kRefuseButton, payload::kMsgCancelButton);
}

// A button's click: the notification is 0 for a click and for the Enter key,
// which the dialog manager turns into the default button's command.
bool IsClick(WPARAM wParam, int id) { return LOWORD(wParam) == id && HIWORD(wParam) == BN_CLICKED; }

INT_PTR CALLBACK LanguageProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  HWND list = GetDlgItem(dialog, kLanguageList);
  i32 count = payload::LanguageCount();
  if (message == WM_INITDIALOG) {
    for (i32 i = 0; i < count; ++i)
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(payload::LanguageName(i).CStr()));
    SetOkCancelTexts(dialog);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    CenterWindow(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  // The selection, or -1 for none (LB_ERR) or one outside the languages.
  auto selection = static_cast<i32>(SendMessageA(list, LB_GETCURSEL, 0, 0));
  bool inRange = selection >= 0 && selection < count;
  if (LOWORD(wParam) == kLanguageList && HIWORD(wParam) == LBN_SELCHANGE) {
    // The buttons speak the highlighted language at once. No selection
    // leaves the language as it was: -1 is no language.
    if (inRange) {
      payload::SetLanguageIndex(selection);
      SetOkCancelTexts(dialog);
    }
    return TRUE;
  }
  if (IsClick(wParam, kAcceptButton) || (LOWORD(wParam) == kLanguageList && HIWORD(wParam) == LBN_DBLCLK)) {
    payload::SetLanguageIndex(inRange ? selection : 0);
    EndDialog(dialog, kDialogAccept);
    return TRUE;
  }
  if (IsClick(wParam, kRefuseButton)) {
    EndDialog(dialog, kDialogRefuse);
    return TRUE;
  }
  return FALSE;
}

// The page's texts by kind: caption, prompt, accept and refuse buttons.
struct PageTexts {
  i32 caption, prompt, accept, refuse;
};

struct PageRequest {
  PageTexts texts;
  const char* text;
};

INT_PTR CALLBACK PageProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* request = reinterpret_cast<const PageRequest*>(lParam);
    SetDlgItemTextA(dialog, kPageText, request->text);
    SetMessageText(dialog, kAcceptButton, request->texts.accept);
    SetMessageText(dialog, kRefuseButton, request->texts.refuse);
    SetMessageText(dialog, kPromptText, request->texts.prompt);
    SetWindowTextA(dialog, payload::GetMessage(request->texts.caption).CStr());
    CenterWindow(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (IsClick(wParam, kAcceptButton) || IsClick(wParam, kRefuseButton)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// The directory the dialog starts from and writes on OK; the dialog is
// modal, so one is enough.
core::String* gDirectory = nullptr;

core::String ControlText(HWND control) {
  core::String text;
  if (!control) return text;
  int length = GetWindowTextLengthA(control);
  if (length <= 0) return text;
  text.SetLength(length);
  int got = GetWindowTextA(control, text.Data(), length + 1);
  text.SetLength(got < 0 ? 0 : got);
  return text;
}

INT_PTR CALLBACK DirectoryProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  HWND edit = GetDlgItem(dialog, kDirectoryEdit);
  if (message == WM_INITDIALOG) {
    CenterWindow(dialog);
    SetMessageText(dialog, kPromptText, payload::kMsgChooseDirectory);
    SetWindowTextA(edit, gDirectory->CStr());
    SendMessageA(edit, EM_LIMITTEXT, kDirectoryLimit, 0);
    SetOkCancelTexts(dialog);
    SetMessageText(dialog, kBrowseButton, payload::kMsgBrowseButton);
    SetWindowTextA(dialog, payload::GetMessage(payload::kMsgDirectoryCaption).CStr());
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (IsClick(wParam, kAcceptButton)) {
    *gDirectory = ControlText(edit);
    EndDialog(dialog, 1);
    return TRUE;
  }
  if (IsClick(wParam, kRefuseButton)) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  if (IsClick(wParam, kBrowseButton)) {
    core::String path = ControlText(edit);
    if (BrowseForFolder(dialog, path)) SetWindowTextA(edit, path.CStr());
    return TRUE;
  }
  return FALSE;
}

INT_PTR RunDialog(const char* name, DLGPROC procedure, LPARAM parameter) {
  return DialogBoxParamA(static_cast<HINSTANCE>(payload::Instance()), name,
                         static_cast<HWND>(payload::SetupWindow()), procedure, parameter);
}

class WindowsDialogs final : public DialogView {
 public:
  // A dialog that cannot be made (DialogBoxParamA gives -1) is a refusal.
  int ChooseLanguage() override {
    return RunDialog("LanguageDlg", LanguageProcedure, 0) == kDialogAccept ? kDialogAccept : kDialogRefuse;
  }

  int ShowPage(PageKind kind, const char* text) override {
    PageRequest request = {
        kind == PageKind::kLicense
            ? PageTexts{payload::kMsgLicenseCaption, payload::kMsgLicensePrompt, payload::kMsgLicenseAccept,
                        payload::kMsgLicenseRefuse}
            : PageTexts{payload::kMsgReadmeCaption, payload::kMsgReadmePrompt, payload::kMsgOkButton,
                        payload::kMsgCancelButton},
        text};
    return RunDialog(kind == PageKind::kLicense ? "LicenseDlg" : "ReadmeDlg", PageProcedure,
                     reinterpret_cast<LPARAM>(&request)) == kDialogAccept
               ? kDialogAccept
               : kDialogRefuse;
  }

  // Only OK (1) goes on. A dialog that could not be shown (-1) is a cancel:
  // taken as OK without a change it would show the same refused directory
  // again and again, a loop nobody could leave.
  bool ChooseDirectory(core::String& directory) override {
    gDirectory = &directory;
    INT_PTR result = RunDialog("ChooseDirDlg", DirectoryProcedure, 0);
    gDirectory = nullptr;
    return result == 1;
  }
};

}  // namespace

DialogView& DefaultDialogView() {
  static core::Lasting<WindowsDialogs> view;
  return view.Get();
}

}  // namespace kova::ui
