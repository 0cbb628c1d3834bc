// Initialization files on POSIX: the file is read whole through the
// sandbox, the line changed or added, and written back whole, with the
// layout WritePrivateProfileStringA gives it.
#include "platform/profile.h"

#include "core/array.h"
#include "core/string.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace kova::platform {
namespace {

// The file's text, empty when it does not exist; false when it exists but
// cannot be read.
bool ReadText(const char* path, core::String* text) {
  ScopedFile file(OpenFileHandle(path, kAccessRead, kShareRead, kOpenExisting, kAttributeNormal));
  if (!file) return LastSystemError() == kErrorFileNotFound;
  char block[4096];
  u32 done = 0;
  while (ReadFileData(file.Get(), block, sizeof block, &done) && done > 0) text->Append(block, static_cast<i32>(done));
  return true;
}

core::Array<core::String> SplitLines(const core::String& text) {
  core::Array<core::String> lines;
  i32 start = 0;
  for (i32 i = 0; i < text.Length(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.Append(text.Mid(start, i - start));
    if (text[i] == '\r' && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.Length()) lines.Append(text.Mid(start));
  return lines;
}

// The section a header line names, or empty when the line is no header.
core::String SectionOf(const core::String& line) {
  core::String trimmed = line;
  trimmed.Trim();
  if (trimmed[0] != '[') return core::String();
  i32 close = trimmed.Find("]");
  if (close < 0) return core::String();
  core::String name = trimmed.Mid(1, close - 1);
  name.Trim();
  return name.IsEmpty() ? core::String(" ") : name;  // "[]" is a header all the same
}

bool IsKeyLine(const core::String& line, const char* key) {
  i32 equals = line.Find("=");
  if (equals < 0) return false;
  core::String name = line.Left(equals);
  name.Trim();
  return name.EqualsNoCase(key);
}

}  // namespace

bool SetProfileString(const char* section, const char* key, const char* value, const char* path) {
  if (!section || !key || !value || !path || !*path) {
    SetLastSystemError(kErrorInvalidParameter);
    return false;
  }
  core::String text;
  if (!ReadText(path, &text)) return false;
  core::Array<core::String> lines = SplitLines(text);
  core::String entry = core::Formatted("%s=%s", key, value);

  i32 header = -1;
  for (i32 i = 0; i < lines.Size() && header < 0; ++i)
    if (SectionOf(lines[i]).EqualsNoCase(section)) header = i;
  if (header < 0) {
    lines.Append(core::Formatted("[%s]", section));
    lines.Append(entry);
  } else {
    i32 last = header;  // the section's last non-blank line
    bool replaced = false;
    for (i32 i = header + 1; i < lines.Size() && SectionOf(lines[i]).IsEmpty(); ++i) {
      if (IsKeyLine(lines[i], key)) {
        // The key keeps the spelling it has in the file.
        core::String name = lines[i].Left(lines[i].Find("="));
        name.Trim();
        lines[i] = core::Formatted("%s=%s", name.CStr(), value);
        replaced = true;
        break;
      }
      if (!core::IsBlankText(lines[i].CStr())) last = i;
    }
    if (!replaced) {
      lines.Append(core::String());
      for (i32 i = lines.Size() - 1; i > last + 1; --i) lines[i] = lines[i - 1];
      lines[last + 1] = entry;
    }
  }

  core::String out;
  for (const core::String& line : lines) {
    out += line;
    out += "\r\n";
  }
  ScopedFile file(OpenFileHandle(path, kAccessWrite, 0, kCreateAlways, kAttributeNormal));
  if (!file) return false;
  u32 done = 0;
  return WriteFileData(file.Get(), out.CStr(), static_cast<u32>(out.Length()), &done) &&
         done == static_cast<u32>(out.Length());
}

}  // namespace kova::platform
