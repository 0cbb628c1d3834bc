// The dialogs of the setup flow on Windows. Until the dialog procedures are
// in place every question is refused, which stops an interactive run.
#include "ui/dialog_view.h"

namespace kova::ui {
namespace {

class WindowsDialogs final : public DialogView {
 public:
  int ChooseLanguage() override { return kDialogRefuse; }
  int ShowPage(PageKind, const char*) override { return kDialogRefuse; }
  bool ChooseDirectory(core::String&) override { return false; }
};

}  // namespace

DialogView& DefaultDialogView() {
  static WindowsDialogs view;
  return view;
}

}  // namespace kova::ui
