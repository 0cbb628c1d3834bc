// The command line: the tokeniser, the switch grammar (/a, /d:, /n:, /u) and
// the installer path taken from the full command line.
#pragma once

#include "core/string.h"

namespace kova::payload {

// At most this many tokens are examined; the rest is ignored without a word.
inline constexpr i32 kMaxCommandLineTokens = 19;

struct CommandLine {
  bool automatic = false;
  bool uninstall = false;
  bool installDirGiven = false;
  core::String installDir;
  bool productNameGiven = false;
  core::String productName;
};

// Takes one token off the front of rest: a run of non-blank characters in
// which double-quoted stretches may hold blanks. The quotes stay in the token;
// a doubled quote inside a quoted stretch stands for one quote character.
core::String NextToken(core::String& rest);

// Parses the command-line text (the arguments without the program name).
// On a fault returns false with the text for the usage box in fault.
bool ParseCommandLine(const char* text, CommandLine& result, core::String& fault);

// The file the program runs from, from the full command line: the first token
// (quoted or up to the first space), with ".EXE" appended when it has no
// extension.
core::String InstallerPathOf(const char* fullCommandLine);

// Automatic mode: no dialogs, questions or error boxes; every question takes
// its default. Set by /a or by the install script.
bool IsAutomaticMode();
void SetAutomaticMode(bool automatic);

}  // namespace kova::payload
