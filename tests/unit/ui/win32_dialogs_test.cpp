// The Win32 dialogs when they cannot be shown (the win64 suite under Wine):
// the unit-test program carries none of the stub's dialog templates, so
// every DialogBoxParamA fails here with -1. (What the dialogs show and do is
// tested end to end, on a display.)
#ifdef _WIN32
#include <gtest/gtest.h>

#include "core/string.h"
#include "platform/win32/windows.h"
#include "ui/dialog_view.h"

namespace kova::ui {
namespace {

TEST(WindowsDialogs, ADialogThatCannotBeShownIsARefusal) {
  DialogView& view = DefaultDialogView();
  core::String directory("C:\\Kept");
  // Not "OK without a change": the directory loop would show it for ever.
  EXPECT_FALSE(view.ChooseDirectory(directory));
  EXPECT_EQ(directory, "C:\\Kept");
  EXPECT_EQ(view.ChooseLanguage(), kDialogRefuse);
  EXPECT_EQ(view.ShowPage(PageKind::kLicense, "page"), kDialogRefuse);
  EXPECT_EQ(view.ShowPage(PageKind::kReadme, "page"), kDialogRefuse);
}

}  // namespace
}  // namespace kova::ui
#endif
