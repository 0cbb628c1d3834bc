// The dialog view the setup flow asks through.
#include "ui/dialog_view.h"

namespace kova::ui {
namespace {

DialogView* chosenView = nullptr;

}  // namespace

DialogView& Dialogs() { return chosenView ? *chosenView : DefaultDialogView(); }

void SetDialogView(DialogView* view) { chosenView = view; }

}  // namespace kova::ui
