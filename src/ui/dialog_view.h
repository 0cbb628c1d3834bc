// DialogView: the questions of the setup flow that take more than a message
// box: the language list, the licence and read-me pages and the directory
// choice. A front end shows them: modal dialogs on Windows (win32/), prompts
// on a terminal (terminal/). The setup flow decides when each one runs and
// what its answer means; a view only asks.
#pragma once

#include "core/string.h"

namespace kova::ui {

// The results of the language, licence and read-me dialogs.
inline constexpr int kDialogAccept = 1001;  // OK, accept, go on
inline constexpr int kDialogRefuse = 1003;  // cancel, refuse, stop

enum class PageKind { kLicense, kReadme };

class DialogView {
 public:
  virtual ~DialogView() = default;
  // The language list (payload::LanguageName of 0 .. LanguageCount() - 1).
  // The view sets payload::SetLanguageIndex as the choice changes, only ever
  // to an index inside the list. Returns kDialogAccept when a language was
  // chosen; anything else (a refusal, a dialog that could not be shown) stops
  // the installation.
  virtual int ChooseLanguage() = 0;
  // A licence or read-me page, its placeholders already replaced. Returns
  // kDialogAccept to go on; anything else stops the installation.
  virtual int ShowPage(PageKind kind, const char* text) = 0;
  // The directory choice, starting from directory. True with directory
  // replaced by the text the user left (not yet trimmed or checked); false
  // for a cancel or a dialog that could not be shown.
  virtual bool ChooseDirectory(core::String& directory) = 0;
};

// The view of this platform's front end.
DialogView& DefaultDialogView();

// The view the setup flow asks through: the default unless a test or the
// host has set its own (null puts the default back).
DialogView& Dialogs();
void SetDialogView(DialogView* view);

}  // namespace kova::ui
