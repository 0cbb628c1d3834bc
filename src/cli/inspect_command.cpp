// `kova inspect`: shows what an installer holds and whether the stub would
// accept it, as text or JSON. The verdict comes from builder::ReadInstaller,
// which checks in the stub's order with the engine's code; the exit status
// is 1 when the stub would stop with an error (or ask for a volume).
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "builder/ansi_text.h"
#include "builder/flag_names.h"
#include "builder/host_files.h"
#include "builder/installer_reader.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "payload/archive.h"
#include "payload/fatal.h"

namespace kova::cli {
namespace {

using builder::InstallerContents;

constexpr const char* kInspectUsage =
    "Usage: kova inspect SETUP.exe [--json] [--save-script PATH] [--save-uninstaller PATH]\n"
    "\n"
    "Shows an installer's archive header, every install-script item, the languages and\n"
    "messages, and the files, and verifies every checksum exactly as the installer does.\n"
    "Volume files <base><n>.KVA are read from beside the installer.\n"
    "\n"
    "  --json               print the same as one JSON object\n"
    "  --save-script PATH   also write the decompressed install script to PATH (as far as\n"
    "                       the script block could be decompressed)\n"
    "  --save-uninstaller PATH  also write the uninstaller image the installer makes of\n"
    "                       itself (the program without its archive section)\n"
    "  -h, --help           show this text\n"
    "\n"
    "Exit status: 0 when the installer is sound, 1 when it is damaged (the error code the\n"
    "installer would show is named) or a volume is missing, 2 on a usage error.\n";

std::string Utf8(const core::String& text) { return builder::AnsiToUtf8(std::string_view(text.CStr(), text.Length())); }

// A text on one line: line breaks and control characters escaped.
std::string Quoted(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '"') out += "\\\"";
    else if (c == '\\') out += "\\\\";
    else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned char>(c));
      out += buffer;
    } else out += c;
  }
  return out + "\"";
}

std::string Hex(u32 value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

std::string Stamp(const install::FileStamp& s) {
  if (!s.IsSet()) return "none";
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute,
                s.second);
  return buffer;
}

// COLORREF 0x00BBGGRR as #RRGGBB.
std::string Colour(u32 c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
  return buffer;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

std::string PageText(const InstallerContents& c, i32 position) {
  const char* start = reinterpret_cast<const char*>(c.archive.script.Data()) + position;
  return builder::AnsiToUtf8(start);
}

std::string TypeName(u32 type) {
  const char* name = builder::NameOfValue(builder::FileTypeNames(), type);
  return name ? name : std::to_string(type);
}

std::vector<std::string> FileFlagList(u32 flags) {
  std::vector<std::string> names = builder::NamesOfBits(builder::FileFlagNames(), flags & ~builder::kFileModeMask);
  if (flags & builder::kFileModeMask)
    names.push_back(std::string("existing=") + builder::NameOfValue(builder::ExistingModeNames(), flags & builder::kFileModeMask));
  return names;
}

const char* Check(bool reached, bool ok) { return !reached ? "not checked" : ok ? "ok" : "DIFFERS"; }

void PrintText(const InstallerContents& c) {
  const payload::PeLayout& l = c.archive.layout;
  const payload::ArchiveHeader& h = c.archive.header;
  std::printf("Installer            %s (%lld bytes)\n", c.path.c_str(), static_cast<long long>(c.fileSize));
  if (c.code == payload::kNoArchive || !c.headerRead) {
    std::printf("\nResult: %s\n", builder::DescribeVerdict(c).c_str());
    return;
  }
  std::printf("Archive section      .kova, header %d of %u, file offset 0x%X, 0x%X bytes, virtual address 0x%X\n",
              l.archiveIndex + 1, l.sectionCount, l.rawPointer, l.rawSize, l.virtualAddress);
  std::printf("\nArchive header\n");
  std::printf("  magic              %s\n", Hex(h.magic).c_str());
  std::printf("  builder version    %d\n", h.builderVersion);
  std::printf("  script size        %d bytes\n", h.scriptSize);
  std::printf("  script key         %s  %s\n", Hex(h.scriptKey).c_str(),
              Check(true, c.scriptChecksum == h.scriptKey));
  std::printf("  stub checksum      %s  %s\n", Hex(h.stubChecksum).c_str(),
              Check(c.scriptRead, c.stubChecksum == h.stubChecksum));
  std::printf("  archive end        %d (file data in the installer: %llu bytes)\n", h.archiveEnd,
              static_cast<unsigned long long>(c.streamPresent));
  std::printf("  file count         %d\n", h.fileCount);
  std::printf("  file data size     %d bytes\n", h.fileDataSize);
  std::printf("  file data checksum %s  %s\n", Hex(h.fileDataChecksum).c_str(),
              Check(c.streamRead || c.code == payload::kCorruptStreamChecksum, c.streamChecksum == h.fileDataChecksum));

  if (c.scriptRead) {
    const payload::InstallScript& s = c.script;
    std::printf("\nInstall script (%zu bytes)\n", c.archive.script.Size());
    std::printf("  ProductFlags       %s  %s\n", Hex(s.productFlags).c_str(),
                Joined(builder::NamesOfBits(builder::ProductFlagNames(), s.productFlags)).c_str());
    std::printf("  uninstaller stamp  %s\n", Stamp(s.uninstallerStamp).c_str());
    auto text = [](const char* label, const core::String& value) {
      std::printf("  %-18s %s\n", label, Quoted(Utf8(value)).c_str());
    };
    text("publisher", s.publisher);
    text("product name", s.productName);
    text("shared dir", s.sharedDir);
    text("start menu", s.productStartMenu);
    text("default dir", s.defaultDirText);
    text("version", s.versionText);
    text("product registry", s.productRegistry);
    std::printf("  licence pages      %d\n", s.licensePages.Size());
    for (i32 i = 0; i < s.licensePages.Size(); ++i)
      std::printf("    %d: %s\n", i + 1, Quoted(PageText(c, s.licensePages[i])).c_str());
    std::printf("  read-me pages      %d\n", s.readmePages.Size());
    for (i32 i = 0; i < s.readmePages.Size(); ++i)
      std::printf("    %d: %s\n", i + 1, Quoted(PageText(c, s.readmePages[i])).c_str());
    text("uninstall subdir", s.uninstallSubdir);
    text("display name", s.displayName);
    text("volume base name", s.volumeBaseName);
    text("uninstaller name", s.uninstallerFileName);
    std::printf("  title colour       %s\n", Colour(s.titleColor).c_str());
    std::printf("  top colour         %s\n", Colour(s.topColor).c_str());
    std::printf("  bottom colour      %s\n", Colour(s.bottomColor).c_str());
    std::printf("  background bitmap  %s\n",
                s.backgroundBitmap.IsEmpty() ? "none" : (std::to_string(s.backgroundBitmap.Size()) + " bytes").c_str());
    if (s.productFlags & payload::kFlagMasterProduct) text("master product", s.masterProductName);
    text("pre-install batch", s.preInstallBatch);
    text("post-install 1", s.postInstallBatch1);
    text("post-install 2", s.postInstallBatch2);
    text("uninstall batch 1", s.uninstallBatch1);
    text("uninstall batch 2", s.uninstallBatch2);
    std::printf("  reserved           %s\n", Hex(s.reserved).c_str());
    std::printf("  excluded systems   %s  %s\n", Hex(s.excludedSystems).c_str(),
                Joined(builder::NamesOfBits(builder::SystemNames(), s.excludedSystems)).c_str());
    std::printf("  first sequence     %u\n", s.firstSequenceNumber);
    if (s.iconPatchOffset > 0) std::printf("  icon patch         offset 0x%X, %d bytes\n", s.iconPatchOffset, payload::kIconPatchBytes);
    else std::printf("  icon patch         none\n");
    std::printf("  associations       %d\n", s.associations.Size());
    for (const payload::AssociationRecord& a : s.associations) {
      std::printf("    %s  type %s  description %s  verb %s  verb text %s  command %s  language %s  flags %s\n",
                  Quoted(Utf8(a.extension)).c_str(), Quoted(Utf8(a.fileType)).c_str(),
                  Quoted(Utf8(a.description)).c_str(), Quoted(Utf8(a.verb)).c_str(), Quoted(Utf8(a.verbText)).c_str(),
                  Quoted(Utf8(a.command)).c_str(), Quoted(Utf8(a.language)).c_str(),
                  Joined(builder::NamesOfBits(builder::AssociationFlagNames(), a.flags)).c_str());
    }
    std::printf("\nLanguages (%d), %d messages each\n", s.languageNames.Size(), s.messages.Size());
    for (i32 k = 0; k < s.languageNames.Size(); ++k) {
      std::printf("  %s\n", Quoted(Utf8(s.languageNames[k])).c_str());
      for (i32 n = 0; n < s.messages.Size(); ++n)
        std::printf("    %4d %s\n", n, Quoted(Utf8(s.messages[n][k])).c_str());
    }
    std::printf("\nUninstaller image    %zu bytes%s\n", c.uninstallerImage.Size(),
                c.uninstallerImage.IsEmpty() ? " (not built)" : ", without the archive section");
  }

  if (!c.volumes.empty()) {
    std::printf("\nVolumes\n");
    for (const builder::VolumeFile& v : c.volumes)
      std::printf("  %s  sequence %u, %llu bytes of file data\n", v.path.c_str(), v.sequence,
                  static_cast<unsigned long long>(v.dataBytes));
  }
  if (c.streamRead) {
    std::printf("\nFiles (%zu)\n", c.records.size());
    std::printf("  %-11s %10s  %-19s  %-40s %s\n", "type", "size", "stamp", "name", "flags");
    for (const builder::ReadRecord& r : c.records) {
      const builder::FileRecord& f = r.record;
      std::printf("  %-11s %10zu  %-19s  %-40s %s\n", TypeName(f.type).c_str(), r.dataSize, Stamp(f.stamp).c_str(),
                  builder::AnsiToUtf8(f.name).c_str(), Joined(FileFlagList(f.flags)).c_str());
      if (!f.text1.empty() || !f.text2.empty() || !f.text3.empty()) {
        const char* label = f.type == builder::kFileTypeFont     ? "font name"
                            : f.type == builder::kFileTypeSystem ? "version"
                                                                 : "shortcut";
        std::printf("  %11s %s %s", "", label, Quoted(builder::AnsiToUtf8(f.text1)).c_str());
        if (builder::HasIconText(f.flags)) std::printf(", icon %s", Quoted(builder::AnsiToUtf8(f.text2)).c_str());
        std::printf(", arguments %s\n", Quoted(builder::AnsiToUtf8(f.text3)).c_str());
      }
    }
  }
  std::printf("\nResult: %s\n", builder::DescribeVerdict(c).c_str());
}

void PrintJson(const InstallerContents& c) {
  JsonWriter j(stdout);
  j.BeginObject();
  j.String("path", c.path);
  j.Number("size", c.fileSize);
  j.Bool("ok", c.Ok());
  j.String("result", builder::DescribeVerdict(c));
  if (c.code > 0) {
    j.BeginObject("error");
    j.Number("code", c.code);
    j.String("meaning", builder::CorruptCodeMeaning(c.code));
    j.String("detail", builder::AnsiToUtf8(c.detail));
    j.EndObject();
  } else {
    j.Null("error");
  }
  if (c.headerRead) {
    const payload::PeLayout& l = c.archive.layout;
    j.BeginObject("section");
    j.Number("index", l.archiveIndex);
    j.Number("sectionCount", l.sectionCount);
    j.Number("rawPointer", l.rawPointer);
    j.Number("rawSize", l.rawSize);
    j.Number("virtualAddress", l.virtualAddress);
    j.EndObject();
    const payload::ArchiveHeader& h = c.archive.header;
    j.BeginObject("header");
    j.Number("magic", h.magic);
    j.Number("builderVersion", h.builderVersion);
    j.Number("scriptSize", h.scriptSize);
    j.Number("scriptKey", h.scriptKey);
    j.Number("stubChecksum", h.stubChecksum);
    j.Number("archiveEnd", h.archiveEnd);
    j.Number("fileCount", h.fileCount);
    j.Number("fileDataSize", h.fileDataSize);
    j.Number("fileDataChecksum", h.fileDataChecksum);
    j.BeginArray("fileSizes");
    for (i32 size : h.fileSizes) j.Number("", size);
    j.EndArray();
    j.EndObject();
    j.BeginObject("checks");
    j.Bool("scriptChecksum", c.scriptChecksum == h.scriptKey);
    if (c.scriptRead) j.Bool("stubChecksum", c.stubChecksum == h.stubChecksum);
    else j.Null("stubChecksum");
    if (c.streamRead || c.code == payload::kCorruptStreamChecksum) j.Bool("fileDataChecksum", c.streamChecksum == h.fileDataChecksum);
    else j.Null("fileDataChecksum");
    j.Bool("fileRecords", c.streamRead);
    j.EndObject();
  }
  if (c.scriptRead) {
    const payload::InstallScript& s = c.script;
    j.BeginObject("script");
    j.Number("bytes", static_cast<long long>(c.archive.script.Size()));
    j.Number("productFlags", s.productFlags);
    j.BeginArray("productFlagNames");
    for (const std::string& n : builder::NamesOfBits(builder::ProductFlagNames(), s.productFlags)) j.String("", n);
    j.EndArray();
    j.String("uninstallerStamp", Stamp(s.uninstallerStamp));
    j.String("publisher", Utf8(s.publisher));
    j.String("productName", Utf8(s.productName));
    j.String("sharedDir", Utf8(s.sharedDir));
    j.String("productStartMenu", Utf8(s.productStartMenu));
    j.String("defaultDir", Utf8(s.defaultDirText));
    j.String("version", Utf8(s.versionText));
    j.String("productRegistry", Utf8(s.productRegistry));
    j.BeginArray("licensePages");
    for (i32 p : s.licensePages) j.String("", PageText(c, p));
    j.EndArray();
    j.BeginArray("readmePages");
    for (i32 p : s.readmePages) j.String("", PageText(c, p));
    j.EndArray();
    j.String("uninstallSubdir", Utf8(s.uninstallSubdir));
    j.String("displayName", Utf8(s.displayName));
    j.String("volumeBaseName", Utf8(s.volumeBaseName));
    j.String("uninstallerFileName", Utf8(s.uninstallerFileName));
    j.String("titleColor", Colour(s.titleColor));
    j.String("topColor", Colour(s.topColor));
    j.String("bottomColor", Colour(s.bottomColor));
    j.Number("backgroundBitmapBytes", static_cast<long long>(s.backgroundBitmap.Size()));
    if (s.productFlags & payload::kFlagMasterProduct) j.String("masterProduct", Utf8(s.masterProductName));
    j.String("preInstallBatch", Utf8(s.preInstallBatch));
    j.String("postInstallBatch1", Utf8(s.postInstallBatch1));
    j.String("postInstallBatch2", Utf8(s.postInstallBatch2));
    j.String("uninstallBatch1", Utf8(s.uninstallBatch1));
    j.String("uninstallBatch2", Utf8(s.uninstallBatch2));
    j.Number("reserved", s.reserved);
    j.Number("excludedSystems", s.excludedSystems);
    j.BeginArray("excludedSystemNames");
    for (const std::string& n : builder::NamesOfBits(builder::SystemNames(), s.excludedSystems)) j.String("", n);
    j.EndArray();
    j.Number("firstSequenceNumber", s.firstSequenceNumber);
    j.Number("iconPatchOffset", s.iconPatchOffset);
    j.BeginArray("associations");
    for (const payload::AssociationRecord& a : s.associations) {
      j.BeginObject();
      j.Number("flags", a.flags);
      j.String("extension", Utf8(a.extension));
      j.String("fileType", Utf8(a.fileType));
      j.String("description", Utf8(a.description));
      j.String("verb", Utf8(a.verb));
      j.String("verbText", Utf8(a.verbText));
      j.String("command", Utf8(a.command));
      j.String("language", Utf8(a.language));
      j.EndObject();
    }
    j.EndArray();
    j.BeginArray("languages");
    for (i32 k = 0; k < s.languageNames.Size(); ++k) {
      j.BeginObject();
      j.String("name", Utf8(s.languageNames[k]));
      j.BeginArray("messages");
      for (i32 n = 0; n < s.messages.Size(); ++n) j.String("", Utf8(s.messages[n][k]));
      j.EndArray();
      j.EndObject();
    }
    j.EndArray();
    j.EndObject();
    j.Number("uninstallerImageBytes", static_cast<long long>(c.uninstallerImage.Size()));
  }
  j.BeginArray("volumes");
  for (const builder::VolumeFile& v : c.volumes) {
    j.BeginObject();
    j.String("path", v.path);
    j.Number("sequence", v.sequence);
    j.Number("dataBytes", static_cast<long long>(v.dataBytes));
    j.EndObject();
  }
  j.EndArray();
  if (c.streamRead) {
    j.BeginArray("files");
    for (const builder::ReadRecord& r : c.records) {
      const builder::FileRecord& f = r.record;
      j.BeginObject();
      j.String("name", builder::AnsiToUtf8(f.name));
      j.Number("type", f.type);
      j.String("typeName", TypeName(f.type));
      j.Number("flags", f.flags);
      j.BeginArray("flagNames");
      for (const std::string& n : FileFlagList(f.flags)) j.String("", n);
      j.EndArray();
      j.Number("size", static_cast<long long>(r.dataSize));
      j.String("stamp", Stamp(f.stamp));
      j.String("text1", builder::AnsiToUtf8(f.text1));
      if (builder::HasIconText(f.flags)) j.String("text2", builder::AnsiToUtf8(f.text2));
      j.String("text3", builder::AnsiToUtf8(f.text3));
      j.EndObject();
    }
    j.EndArray();
  }
  j.EndObject();
  j.Finish();
}

}  // namespace

int RunInspect(int argc, char** argv) {
  std::string path, scriptOut, uninstallerOut;
  bool json = false;
  CommandLine line("kova inspect", kInspectUsage);
  line.Operand("SETUP.exe", path, "installer");
  line.App().add_flag("--json", json);
  line.Value("--save-script", scriptOut, "a path");
  line.Value("--save-uninstaller", uninstallerOut, "a path");
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  if (path.empty()) return line.UsageError("no installer given", true);
  builder::InstallerContents contents;
  std::string error;
  if (!builder::ReadInstaller(path, contents, error)) {
    std::fprintf(stderr, "kova inspect: %s\n", error.c_str());
    return 1;
  }
  if (!scriptOut.empty()) {
    const core::ByteBuffer& script = contents.archive.script;
    if (!contents.headerRead || contents.code == payload::kCorruptScriptDecode) {
      std::fprintf(stderr, "kova inspect: %s: the install script could not be decompressed; nothing saved\n",
                   path.c_str());
    } else if (!builder::WriteFilesAtomically({{scriptOut, std::vector<u8>(script.Data(), script.Data() + script.Size()), {}}},
                                              error)) {
      std::fprintf(stderr, "kova inspect: %s\n", error.c_str());
      return 1;
    }
  }
  if (!uninstallerOut.empty()) {
    const core::ByteBuffer& image = contents.uninstallerImage;
    if (image.IsEmpty()) {
      std::fprintf(stderr, "kova inspect: %s: no uninstaller image could be built; nothing saved\n", path.c_str());
    } else if (!builder::WriteFilesAtomically({{uninstallerOut, std::vector<u8>(image.Data(), image.Data() + image.Size()), {}}},
                                              error)) {
      std::fprintf(stderr, "kova inspect: %s\n", error.c_str());
      return 1;
    }
  }
  if (json) PrintJson(contents);
  else PrintText(contents);
  if (!contents.Ok()) {
    std::fprintf(stderr, "kova inspect: %s: %s\n", path.c_str(), builder::DescribeVerdict(contents).c_str());
    return 1;
  }
  return 0;
}

}  // namespace kova::cli
