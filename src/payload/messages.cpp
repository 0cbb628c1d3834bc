// The process-wide message table; see messages.h.
#include "payload/messages.h"

#include "core/lasting.h"
#include "payload/folders.h"
#include "payload/system_paths.h"

namespace kova::payload {
namespace {

struct MessageState {
  core::Array<core::String> languageNames;
  core::Array<core::Array<core::String>> messages;
  bool loaded = false;
  i32 languageIndex = 0;
};

MessageState& State() {
  static core::Lasting<MessageState> state;
  return state.Get();
}

}  // namespace

void SetMessageTable(core::Array<core::String> languageNames,
                     core::Array<core::Array<core::String>> messages) {
  MessageState& state = State();
  state.languageNames = static_cast<core::Array<core::String>&&>(languageNames);
  state.messages = static_cast<core::Array<core::Array<core::String>>&&>(messages);
  state.loaded = true;
}

bool HasMessageTable() { return State().loaded; }

i32 LanguageCount() { return State().languageNames.Size(); }

const core::String& LanguageName(i32 language) {
  static core::Lasting<core::String> none;
  const auto& names = State().languageNames;
  return language >= 0 && language < names.Size() ? names[language] : none.Get();
}

i32 LanguageIndex() { return State().languageIndex; }
void SetLanguageIndex(i32 language) { State().languageIndex = language; }

const core::String& GetMessage(i32 number) {
  static core::Lasting<core::String> none;
  MessageState& state = State();
  if (number < 0 || number >= state.messages.Size()) return none.Get();
  core::Array<core::String>& texts = state.messages[number];
  if (state.languageIndex < 0 || state.languageIndex >= texts.Size()) return none.Get();
  core::String& text = texts[state.languageIndex];
  text.Replace("<product>", payload::Folders().productName.CStr(), core::kFindNoCase, 0);
  text.Replace("<os>", payload::GetSystemPaths().windowsDir.CStr(), core::kFindNoCase, 0);
  return text;
}

}  // namespace kova::payload
