// The fields of kova inspect's report, in the order the text shows them; see
// inspect_fields.h. Texts of the installer are code page 1252 and are shown
// as UTF-8; the text form quotes them on one line.
#include "cli/inspect_fields.h"

#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "builder/ansi_text.h"
#include "builder/flag_names.h"
#include "format/archive.h"
#include "format/corrupt_codes.h"

namespace kova::cli {
namespace {

using builder::InstallerContents;

__attribute__((format(printf, 1, 2))) std::string Printed(const char* format, ...) {
  va_list arguments, again;
  va_start(arguments, format);
  va_copy(again, arguments);
  int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

std::string Utf8(const core::String& text) { return builder::AnsiToUtf8(std::string_view(text.CStr(), text.Length())); }

std::string Hex(u32 value) { return Printed("0x%08X", value); }

std::string Stamp(const format::FileStamp& s) {
  if (!s.IsSet()) return "none";
  return Printed("%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute, s.second);
}

// COLORREF 0x00BBGGRR as #RRGGBB.
std::string Colour(u32 c) { return Printed("#%02X%02X%02X", c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF); }

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

// The forms of the usual values.
Shown Text(const core::String& text) {
  std::string utf8 = Utf8(text);
  return {utf8, Quoted(utf8)};
}
Shown Same(const std::string& text) { return {text, text}; }
Shown Number(long long value) { return {value, std::to_string(value)}; }
Shown ByteCount(long long value) { return {value, std::to_string(value) + " bytes"}; }
Shown HexNumber(u32 value) { return {value, Hex(value)}; }
Shown BitSet(u32 value, const std::vector<std::string>& names) { return {value, Hex(value) + "  " + Joined(names)}; }

// A checksum and whether it matched: unknown when that stage was never
// reached. The text shows the outcome beside the value, the JSON in "checks".
Shown Checked(u32 value, std::optional<bool> matched) {
  return {value, Hex(value) + "  " + (!matched ? "not checked" : *matched ? "ok" : "DIFFERS")};
}
Json CheckJson(std::optional<bool> matched) { return matched ? Json(*matched) : Json(nullptr); }

std::string PageText(const InstallerContents& c, i32 position) {
  return builder::AnsiToUtf8(reinterpret_cast<const char*>(c.archive.script.Data()) + position);
}

void Pages(InspectReport& r, const char* label, const char* key, const InstallerContents& c,
           const core::Array<i32>& positions) {
  std::vector<std::string> pages;
  for (i32 position : positions) pages.push_back(PageText(c, position));
  r.Field(label, key, {pages, std::to_string(positions.Size())});
  for (std::size_t i = 0; i < pages.size(); ++i) r.Line(Printed("    %zu: ", i + 1) + Quoted(pages[i]));
}

std::string TypeName(u32 type) {
  const char* name = builder::NameOfValue(builder::FileTypeNames(), type);
  return name ? name : std::to_string(type);
}

std::vector<std::string> FileFlagList(u32 flags) {
  std::vector<std::string> names = builder::NamesOfBits(builder::FileFlagNames(), flags & ~builder::kFileModeMask);
  if (flags & builder::kFileModeMask)
    names.push_back(std::string("existing=") +
                    builder::NameOfValue(builder::ExistingModeNames(), flags & builder::kFileModeMask));
  return names;
}

void Header(const InstallerContents& c, InspectReport& r) {
  const format::PeLayout& l = c.archive.layout;
  Json section = {{"index", l.archiveIndex},
                  {"sectionCount", l.sectionCount},
                  {"rawPointer", l.rawPointer},
                  {"rawSize", l.rawSize},
                  {"virtualAddress", l.virtualAddress}};
  r.Field("Archive section", "section",
          {section, Printed(".kova, header %d of %u, file offset 0x%X, 0x%X bytes, virtual address 0x%X",
                            l.archiveIndex + 1, l.sectionCount, l.rawPointer, l.rawSize, l.virtualAddress)});

  const format::ArchiveHeader& h = c.archive.header;
  std::optional<bool> script = c.scriptChecksum == h.scriptKey, stub, fileData;
  if (c.scriptRead) stub = c.stubChecksum == h.stubChecksum;
  if (c.streamRead || c.code == format::kCorruptStreamChecksum) fileData = c.streamChecksum == h.fileDataChecksum;
  r.Heading("Archive header");
  r.BeginObject("header");
  r.Field("magic", "magic", HexNumber(h.magic));
  r.Field("builder version", "builderVersion", Number(h.builderVersion));
  r.Field("script size", "scriptSize", ByteCount(h.scriptSize));
  r.Field("script key", "scriptKey", Checked(h.scriptKey, script));
  r.Field("stub checksum", "stubChecksum", Checked(h.stubChecksum, stub));
  r.Field("archive end", "archiveEnd",
          {h.archiveEnd, Printed("%d (file data in the installer: %llu bytes)", h.archiveEnd,
                                 static_cast<unsigned long long>(c.streamPresent))});
  r.Field("file count", "fileCount", Number(h.fileCount));
  r.Field("file data size", "fileDataSize", ByteCount(h.fileDataSize));
  r.Field("file data checksum", "fileDataChecksum", Checked(h.fileDataChecksum, fileData));
  Json sizes = Json::array();
  for (i32 size : h.fileSizes) sizes.push_back(size);
  r.Member("fileSizes", sizes);
  r.EndObject();
  r.BeginObject("checks");
  r.Member("scriptChecksum", CheckJson(script));
  r.Member("stubChecksum", CheckJson(stub));
  r.Member("fileDataChecksum", CheckJson(fileData));
  r.Member("fileRecords", c.streamRead);
  r.EndObject();
}

void Associations(const format::InstallScript& s, InspectReport& r) {
  Json all = Json::array();
  std::vector<std::string> lines;
  for (const format::AssociationRecord& a : s.associations) {
    std::string extension = Utf8(a.extension), fileType = Utf8(a.fileType), description = Utf8(a.description),
                verb = Utf8(a.verb), verbText = Utf8(a.verbText), command = Utf8(a.command),
                language = Utf8(a.language);
    all.push_back({{"flags", a.flags},
                   {"extension", extension},
                   {"fileType", fileType},
                   {"description", description},
                   {"verb", verb},
                   {"verbText", verbText},
                   {"command", command},
                   {"language", language}});
    lines.push_back("    " + Quoted(extension) + "  type " + Quoted(fileType) + "  description " + Quoted(description) +
                    "  verb " + Quoted(verb) + "  verb text " + Quoted(verbText) + "  command " + Quoted(command) +
                    "  language " + Quoted(language) + "  flags " +
                    Joined(builder::NamesOfBits(builder::AssociationFlagNames(), a.flags)));
  }
  r.Field("associations", "associations", {all, std::to_string(s.associations.Size())});
  for (const std::string& line : lines) r.Line(line);
}

void Languages(const format::InstallScript& s, InspectReport& r) {
  r.Heading(Printed("Languages (%d), %d messages each", s.languageNames.Size(), s.messages.Size()));
  Json languages = Json::array();
  for (i32 k = 0; k < s.languageNames.Size(); ++k) {
    std::string name = Utf8(s.languageNames[k]);
    r.Line("  " + Quoted(name));
    Json messages = Json::array();
    for (i32 n = 0; n < s.messages.Size(); ++n) {
      std::string text = Utf8(s.messages[n][k]);
      r.Line(Printed("    %4d ", n) + Quoted(text));
      messages.push_back(text);
    }
    languages.push_back({{"name", name}, {"messages", messages}});
  }
  r.Member("languages", languages);
}

void Script(const InstallerContents& c, InspectReport& r) {
  const format::InstallScript& s = c.script;
  r.Heading(Printed("Install script (%zu bytes)", c.archive.script.Size()));
  r.BeginObject("script");
  r.Member("bytes", static_cast<long long>(c.archive.script.Size()));
  std::vector<std::string> productFlags = builder::NamesOfBits(builder::ProductFlagNames(), s.productFlags);
  r.Field("ProductFlags", "productFlags", BitSet(s.productFlags, productFlags));
  r.Member("productFlagNames", productFlags);
  r.Field("uninstaller stamp", "uninstallerStamp", Same(Stamp(s.uninstallerStamp)));
  r.Field("publisher", "publisher", Text(s.publisher));
  r.Field("product name", "productName", Text(s.productName));
  r.Field("shared dir", "sharedDir", Text(s.sharedDir));
  r.Field("start menu", "productStartMenu", Text(s.productStartMenu));
  r.Field("default dir", "defaultDir", Text(s.defaultDirText));
  r.Field("version", "version", Text(s.versionText));
  r.Field("product registry", "productRegistry", Text(s.productRegistry));
  Pages(r, "licence pages", "licensePages", c, s.licensePages);
  Pages(r, "read-me pages", "readmePages", c, s.readmePages);
  r.Field("uninstall subdir", "uninstallSubdir", Text(s.uninstallSubdir));
  r.Field("display name", "displayName", Text(s.displayName));
  r.Field("volume base name", "volumeBaseName", Text(s.volumeBaseName));
  r.Field("uninstaller name", "uninstallerFileName", Text(s.uninstallerFileName));
  r.Field("title colour", "titleColor", Same(Colour(s.titleColor)));
  r.Field("top colour", "topColor", Same(Colour(s.topColor)));
  r.Field("bottom colour", "bottomColor", Same(Colour(s.bottomColor)));
  auto bitmapBytes = static_cast<long long>(s.backgroundBitmap.Size());
  r.Field("background bitmap", "backgroundBitmapBytes",
          {bitmapBytes, bitmapBytes == 0 ? "none" : std::to_string(bitmapBytes) + " bytes"});
  if (s.productFlags & format::kFlagMasterProduct)
    r.Field("master product", "masterProduct", Text(s.masterProductName));
  r.Field("pre-install batch", "preInstallBatch", Text(s.preInstallBatch));
  r.Field("post-install 1", "postInstallBatch1", Text(s.postInstallBatch1));
  r.Field("post-install 2", "postInstallBatch2", Text(s.postInstallBatch2));
  r.Field("uninstall batch 1", "uninstallBatch1", Text(s.uninstallBatch1));
  r.Field("uninstall batch 2", "uninstallBatch2", Text(s.uninstallBatch2));
  r.Field("reserved", "reserved", HexNumber(s.reserved));
  std::vector<std::string> excluded = builder::NamesOfBits(builder::SystemNames(), s.excludedSystems);
  r.Field("excluded systems", "excludedSystems", BitSet(s.excludedSystems, excluded));
  r.Member("excludedSystemNames", excluded);
  r.Field("first sequence", "firstSequenceNumber", Number(s.firstSequenceNumber));
  r.Field(
      "icon patch", "iconPatchOffset",
      {s.iconPatchOffset,
       s.iconPatchOffset > 0 ? Printed("offset 0x%X, %d bytes", s.iconPatchOffset, format::kIconPatchBytes) : "none"});
  Associations(s, r);
  Languages(s, r);
  r.EndObject();

  r.Break();
  auto imageBytes = static_cast<long long>(c.uninstallerImage.Size());
  r.Field("Uninstaller image", "uninstallerImageBytes",
          {imageBytes, std::to_string(imageBytes) + " bytes" +
                           (imageBytes == 0 ? " (not built)" : ", without the archive section")});
}

void Volumes(const InstallerContents& c, InspectReport& r) {
  if (!c.volumes.empty()) r.Heading("Volumes");
  Json volumes = Json::array();
  for (const builder::VolumeFile& v : c.volumes) {
    volumes.push_back({{"path", v.path}, {"sequence", v.sequence}, {"dataBytes", v.dataBytes}});
    r.Line(Printed("  %s  sequence %u, %llu bytes of file data", v.path.c_str(), v.sequence,
                   static_cast<unsigned long long>(v.dataBytes)));
  }
  r.Member("volumes", volumes);
}

void Files(const InstallerContents& c, InspectReport& r) {
  r.Heading(Printed("Files (%zu)", c.records.size()));
  r.Line(Printed("  %-11s %10s  %-19s  %-40s %s", "type", "size", "stamp", "name", "flags"));
  Json files = Json::array();
  for (const builder::ReadRecord& record : c.records) {
    const builder::FileRecord& f = record.record;
    std::string name = builder::AnsiToUtf8(f.name), typeName = TypeName(f.type), stamp = Stamp(f.stamp);
    std::string text1 = builder::AnsiToUtf8(f.text1), text2 = builder::AnsiToUtf8(f.text2),
                text3 = builder::AnsiToUtf8(f.text3);
    std::vector<std::string> flags = FileFlagList(f.flags);
    Json file = {{"name", name},     {"type", f.type},     {"typeName", typeName},
                 {"flags", f.flags}, {"flagNames", flags}, {"size", static_cast<long long>(record.dataSize)},
                 {"stamp", stamp},   {"text1", text1}};
    if (builder::HasIconText(f.flags)) file["text2"] = text2;
    file["text3"] = text3;
    files.push_back(file);

    r.Line(Printed("  %-11s %10zu  %-19s  %-40s %s", typeName.c_str(), record.dataSize, stamp.c_str(), name.c_str(),
                   Joined(flags).c_str()));
    if (text1.empty() && text2.empty() && text3.empty()) continue;
    const char* label = f.type == builder::kFileTypeFont     ? "font name"
                        : f.type == builder::kFileTypeSystem ? "version"
                                                             : "shortcut";
    std::string detail = Printed("  %11s %s ", "", label) + Quoted(text1);
    if (builder::HasIconText(f.flags)) detail += ", icon " + Quoted(text2);
    r.Line(detail + ", arguments " + Quoted(text3));
  }
  r.Member("files", files);
}

}  // namespace

void DescribeInstaller(const InstallerContents& c, InspectReport& r) {
  const std::string verdict = builder::DescribeVerdict(c);
  r.Field("Installer", "path",
          {c.path, Printed("%s (%lld bytes)", c.path.c_str(), static_cast<long long>(c.fileSize))});
  r.Member("size", c.fileSize);
  r.Member("ok", c.Ok());
  r.Member("result", verdict);
  r.Member("error", c.code > 0 ? Json{{"code", c.code},
                                      {"meaning", builder::CorruptCodeMeaning(c.code)},
                                      {"detail", builder::AnsiToUtf8(c.detail)}}
                               : Json(nullptr));
  if (c.headerRead) Header(c, r);
  if (c.scriptRead) Script(c, r);
  Volumes(c, r);
  if (c.streamRead) Files(c, r);
  r.Line("\nResult: " + verdict);
}

}  // namespace kova::cli
