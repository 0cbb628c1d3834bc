// The progress dialog on Win32: the modeless PROGRESSDLG template with a
// common-controls progress bar laid over its black frame.
#include "core/lasting.h"
#include "payload/window_handles.h"
#include "platform/win32/system_library.h"
#include "platform/win32/windows.h"
#include "ui/progress.h"
#include "ui/progress_view.h"
#include "ui/win32/center_window.h"

namespace kova::ui {
namespace {

constexpr int kCancelButton = 1003;
constexpr int kFrame = 1007;
constexpr int kPrompt = 1009;
constexpr int kStatus = 1011;
constexpr UINT kSetPosition = WM_USER + 2;  // PBM_SETPOS

bool gCancelEnabled = true;
HWND gBar = nullptr;

// The bar's window class lives in comctl32, which is not among the DLLs the
// stub imports: it is loaded by full path and registered once.
void RegisterProgressClass() {
  static bool done = false;
  if (done) return;
  done = true;
  using InitFunction = void(WINAPI*)();
  auto init = reinterpret_cast<InitFunction>(
      reinterpret_cast<void*>(platform::win32::SystemProcedure("comctl32.dll", "InitCommonControls")));
  if (init) init();
}

INT_PTR CALLBACK ProgressProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    CenterWindow(dialog);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(GetDlgItem(dialog, kFrame), &placement);
    const RECT& r = placement.rcNormalPosition;
    gBar = CreateWindowExA(0, "msctls_progress32", nullptr, WS_CHILD | WS_VISIBLE, r.left - 1, r.top - 1,
                           r.right - r.left + 3, r.bottom - r.top + 3, dialog, nullptr,
                           static_cast<HINSTANCE>(payload::Instance()), nullptr);
    if (!gCancelEnabled) EnableWindow(GetDlgItem(dialog, kCancelButton), FALSE);
    return TRUE;
  }
  if (message == WM_COMMAND && lParam != 0 && LOWORD(wParam) == kCancelButton && gCancelEnabled) ConfirmCancel();
  return FALSE;
}

class DialogProgressView final : public ProgressView {
 public:
  platform::WindowHandle Open(const char* title, const char* prompt, const char* cancel,
                              bool cancelEnabled) override {
    RegisterProgressClass();
    gCancelEnabled = cancelEnabled;
    dialog_ = CreateDialogParamA(static_cast<HINSTANCE>(payload::Instance()), "ProgressDlg",
                                 static_cast<HWND>(payload::SetupWindow()), ProgressProcedure, 0);
    if (!dialog_) return nullptr;
    SetWindowTextA(dialog_, title);
    SetDlgItemTextA(dialog_, kPrompt, prompt);
    SetDlgItemTextA(dialog_, kCancelButton, cancel);
    return dialog_;
  }

  void Close() override {
    if (dialog_) DestroyWindow(dialog_);
    dialog_ = nullptr;
    gBar = nullptr;
  }

  void SetStatus(const char* text) override {
    if (!dialog_) return;
    SetDlgItemTextA(dialog_, kStatus, text);
    UpdateWindow(dialog_);
  }

  // Posted, not sent: updating the bar never blocks the installation.
  void SetPosition(i32 percent) override {
    if (gBar) PostMessageA(gBar, kSetPosition, static_cast<WPARAM>(percent), 0);
  }

 private:
  HWND dialog_ = nullptr;
};

}  // namespace

ProgressView& DefaultProgressView() {
  static core::Lasting<DialogProgressView> dialog;
  return dialog.Get();
}

}  // namespace kova::ui
