// The PATH line of autoexec.bat; see path_line.h.
//
// The file is read whole and changed in place through one handle that is
// not shared, so nobody edits it in between. Lines are matched without
// regard to letter case.
#include "install/path_line.h"

#include "install/file.h"
#include "install/system_folders.h"
#include "install/temp_files.h"
#include "payload/folders.h"

namespace kova::install {
namespace {

core::String CannotModifyText(const char* autoexecPath, const char* installDir, bool add) {
  return core::Formatted(
      "Unable to modify %s.  You will need to manually %s %s %s the PATH environment variable.\r\n\r\n",
      autoexecPath, add ? "add" : "remove", installDir, add ? "to" : "from");
}

bool IsLineStart(const core::String& text, i32 position) {
  return position == 0 || text[position - 1] == '\n' || text[position - 1] == '\r';
}

bool IsLineEnd(const core::String& text, i32 position) {
  return position == text.Length() || text[position] == '\n' || text[position] == '\r';
}

// The first occurrence of line that stands as a line of the text: it starts a
// line and, with mustEndLine, ends one too. A match inside another
// line ("SET PATH=...", or the prefix of a longer directory such as C:\ACME
// in C:\ACME2) is not ours to remove.
i32 FindWholeLine(const core::String& text, const char* line, i32 lineLength, bool mustEndLine) {
  for (i32 at = text.Find(line, 0, core::kFindNoCase); at >= 0; at = text.Find(line, at + 1, core::kFindNoCase)) {
    if (IsLineStart(text, at) && (!mustEndLine || IsLineEnd(text, at + lineLength))) return at;
  }
  return -1;
}

}  // namespace

core::String ModifyPathLine(const char* autoexecPath, const char* installDir, const char* shortDir, bool add) {
  install::File file;
  u32 mode = add ? install::kOpenOrCreate : install::kModeUpdate;
  if (file.Open(autoexecPath, mode) != install::kOpenOk) return CannotModifyText(autoexecPath, installDir, add);

  i32 size = file.Size();
  if (size < 0 || size > core::kMaxStringLength) return CannotModifyText(autoexecPath, installDir, add);
  core::String text;
  if (size > 0) {
    text.SetLength(size);
    if (!file.Seek(0) || !file.Read(text.Data(), size)) return CannotModifyText(autoexecPath, installDir, add);
  }

  core::String line = core::Formatted("PATH=%%PATH%%;%s\r\n", shortDir);
  if (add) {
    if (text.Find(line.CStr(), 0, core::kFindNoCase) >= 0) return core::String();
    core::String addition;
    // Complete a last line that has no line break (an empty file too).
    if (text[text.Length() - 1] != '\n') addition += "\r\n";
    addition += line;
    if (!file.SeekFromEnd(0) || !file.Write(addition.CStr(), addition.Length()))
      return CannotModifyText(autoexecPath, installDir, add);
  } else {
    i32 at = FindWholeLine(text, line.CStr(), line.Length(), false);
    i32 length = line.Length();
    if (at < 0) {
      // The line as the last one of the file, its break lost.
      length -= 2;
      core::String bare = line.Left(length);
      at = FindWholeLine(text, bare.CStr(), length, true);
    }
    if (at < 0) return core::String();
    text.Erase(at, length);
    if (!file.Seek(0) || !file.Write(text.CStr(), text.Length()) || !file.Truncate())
      return CannotModifyText(autoexecPath, installDir, add);
  }
  if (!file.Close()) return CannotModifyText(autoexecPath, installDir, add);
  return core::String();
}

core::String ModifyPath(bool add) {
  const core::String& installDir = payload::Folders().installDir;
  core::String autoexecPath = core::Formatted("%c:\\autoexec.bat", install::BootDrive());
  core::String shortDir = install::ShortPath(installDir.CStr());
  return ModifyPathLine(autoexecPath.CStr(), installDir.CStr(), shortDir.CStr(), add);
}

}  // namespace kova::install
