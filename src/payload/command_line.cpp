// The command line; see command_line.h.
#include "payload/command_line.h"

#include "core/paths.h"

namespace kova::payload {
namespace {

bool gAutomaticMode = false;

// A switch value loses one pair of enclosing double quotes.
core::String SwitchValue(const core::String& token, i32 from) {
  core::String value = token.Mid(from);
  if (value.Length() >= 2 && value[0] == '"' && value[value.Length() - 1] == '"')
    value = value.Mid(1, value.Length() - 2);
  return value;
}

}  // namespace

core::String NextToken(core::String& rest) {
  rest.TrimLeft();
  core::String token;
  while (!rest.IsEmpty()) {
    if (rest[0] == '"') {
      token += '"';
      token += rest.TakeQuoted(0);
      token += '"';
      continue;
    }
    char c = rest[0];
    rest.Erase(0, 1);
    if (core::IsBlank(c)) break;
    token += c;
  }
  return token;
}

bool ParseCommandLine(const char* text, CommandLine& result, core::String& fault) {
  core::String rest(text);
  for (i32 count = 1; !rest.IsEmpty() && count <= kMaxCommandLineTokens; ++count) {
    core::String token = NextToken(rest);
    if (token.IsEmpty()) break;
    if (token[0] != '/' && token[0] != '-') {
      fault = "Unexpected command line parameter:\n";
      fault += token;
      return false;
    }
    core::String atom = token.Mid(1);
    if (atom.EqualsNoCase("A")) {
      result.automatic = true;
    } else if (atom.StartsWithNoCase("D:")) {
      result.installDirGiven = true;
      result.installDir = SwitchValue(atom, 2);
    } else if (atom.StartsWithNoCase("N:")) {
      result.productNameGiven = true;
      result.productName = SwitchValue(atom, 2);
    } else if (atom.StartsWithNoCase("U")) {
      result.uninstall = true;
      if (atom[1] == ':') {
        result.productNameGiven = true;
        result.productName = SwitchValue(atom, 2);
      }
    } else if (!atom.IsEmpty()) {
      fault = "Illegal command line atom:\n";
      fault += atom;
      return false;
    }
  }
  return true;
}

core::String InstallerPathOf(const char* fullCommandLine) {
  core::String rest(fullCommandLine);
  rest.TrimLeft();
  core::String path;
  if (rest[0] == '"') {
    path = rest.TakeQuoted(0);
  } else {
    i32 space = rest.Find(" ");
    path = space < 0 ? rest : rest.Left(space);
  }
  if (!core::IsBlankText(path.CStr()) && core::FileNameOf(path.CStr()).Find(".") < 0) path += ".EXE";
  return path;
}

bool IsAutomaticMode() { return gAutomaticMode; }
void SetAutomaticMode(bool automatic) { gAutomaticMode = automatic; }

}  // namespace kova::payload
