// The message table: every text a user reads during an installation, by
// message number and language, as carried by the install script. Message
// texts may hold the placeholders "<product>" and "<os>"; they are replaced
// on first lookup, in the table itself.
#pragma once

#include "core/array.h"
#include "core/string.h"

namespace kova::payload {

// Languages and message texts; messages[n][language].
void SetMessageTable(core::Array<core::String> languageNames,
                     core::Array<core::Array<core::String>> messages);
bool HasMessageTable();

i32 LanguageCount();
const core::String& LanguageName(i32 language);  // empty outside the list

i32 LanguageIndex();
void SetLanguageIndex(i32 language);

// The text of message n in the current language with its placeholders
// replaced; empty when the number or the language is out of range.
core::String GetMessage(i32 number);

}  // namespace kova::payload
