// Reading a manifest; see manifest.h and docs/manifest.md.
//
// The reader walks the TOML tree once. Every table lists the keys it knows,
// so a misspelt key is an error at its own line rather than a silently
// ignored setting. Problems are thrown as manifest::Failure (see
// manifest_values.h) and caught once in ParseManifest, which turns them into
// the error text; nothing escapes it.
#include "builder/manifest.h"

#include <toml++/toml.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "builder/ansi_text.h"
#include "builder/default_messages.h"
#include "builder/flag_names.h"
#include "builder/host_files.h"
#include "builder/images.h"
#include "builder/manifest_values.h"
#include "format/install_script.h"

namespace kova::builder {
namespace {

using namespace manifest;

std::string Where(const toml::source_region& where, const std::string& path) {
  return path + ":" + std::to_string(where.begin.line);
}

class ManifestReader {
 public:
  ManifestReader(const std::string& path, Manifest& manifest)
      : path_(path), base_(std::filesystem::path(path).parent_path()), m_(manifest) {}

  void Read(const toml::table& root) {
    Fields top(root, "the manifest",
               {"product", "window", "uninstaller", "batches", "volumes", "license", "readme", "messages", "language",
                "file", "association", "build"});
    ScriptItems& s = m_.script;
    s.uninstallerFileName = "Uninstall.exe";
    if (const toml::node* n = top.Get("product")) ReadProduct(*Table(*n, "[product]"));
    else Fail(root.source(), "the manifest has no [product] table");
    if (const toml::node* n = top.Get("window")) ReadWindow(*Table(*n, "[window]"));
    if (const toml::node* n = top.Get("uninstaller")) ReadUninstaller(*Table(*n, "[uninstaller]"));
    if (const toml::node* n = top.Get("batches")) ReadBatches(*Table(*n, "[batches]"));
    if (const toml::node* n = top.Get("volumes")) ReadVolumes(*Table(*n, "[volumes]"));
    if (const toml::node* n = top.Get("license")) ReadPages(*n, "license", s.licensePages);
    if (const toml::node* n = top.Get("readme")) ReadPages(*n, "readme", s.readmePages);
    ReadLanguages(top.Get("messages"), top.Get("language"));
    if (const toml::node* n = top.Get("file")) {
      for (const toml::table* t : TableArray(*n, "file")) ReadFile(*t);
    }
    if (const toml::node* n = top.Get("association")) {
      for (const toml::table* t : TableArray(*n, "association")) ReadAssociation(*t);
    }
    if (const toml::node* n = top.Get("build")) ReadBuild(*Table(*n, "[build]"));
  }

 private:
  const toml::table* Table(const toml::node& node, const std::string& what) {
    if (!node.is_table()) WrongType(node, what, "a table");
    return node.as_table();
  }

  std::vector<const toml::table*> TableArray(const toml::node& node, const std::string& name) {
    std::vector<const toml::table*> tables;
    const toml::array* array = node.as_array();
    if (!array) Fail(node.source(), "'" + name + "' must be written as [[" + name + "]] tables");
    for (const toml::node& item : *array) {
      if (!item.is_table()) Fail(item.source(), "every '" + name + "' entry must be a [[" + name + "]] table");
      tables.push_back(item.as_table());
    }
    return tables;
  }

  std::string HostPath(const toml::node& node, const std::string& what) {
    const std::string& text = RawString(node, what);
    if (text.empty()) Fail(node.source(), what + " is empty");
    std::filesystem::path p(text);
    return (p.is_absolute() ? p : base_ / p).lexically_normal().string();
  }

  std::vector<u8> ReadSource(const toml::node& node, const std::string& what) {
    std::string path = HostPath(node, what);
    std::vector<u8> bytes;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason)) Fail(node.source(), what + ": " + reason);
    return bytes;
  }

  // A text given inline or read from a UTF-8 file, with CR LF line breaks.
  std::string TextOrFile(const Fields& fields, const std::string& what) {
    const toml::node* text = fields.Get("text");
    const toml::node* file = fields.Get("file");
    if (text && file) Fail(fields.Table().source(), what + " has both 'text' and 'file'; give one");
    if (text) return ToCrLf(Text(*text, what));
    if (file) {
      std::vector<u8> bytes = ReadSource(*file, what);
      return ToCrLf(Ansi(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), *file,
                         what + " ('" + HostPath(*file, what) + "')"));
    }
    Fail(fields.Table().source(), what + " needs 'text' or 'file'");
  }

  // A name joined to a folder by the installer: one plain file name.
  std::string PlainName(const Fields& fields, const char* key, const std::string& fallback) {
    std::string name = Text(fields, key, fallback);
    std::string why;
    if (!CheckRecordName(name, why) || name.find_first_of("\\/") != std::string::npos)
      Fail(fields.Get(key) ? fields.Get(key)->source() : fields.Table().source(),
           "'" + std::string(key) + "' in " + fields.Context() + " must be a plain file name" +
               (why.empty() ? std::string() : " (" + why + ")"));
    return name;
  }

  void ReadProduct(const toml::table& table) {
    Fields f(table, "[product]",
             {"name", "publisher", "version", "display-name", "install-dir", "shared-dir", "start-menu", "registry",
              "master-product", "flags", "excluded-systems"});
    ScriptItems& s = m_.script;
    if (!f.Get("name")) Fail(table.source(), "[product] needs a 'name'");
    s.productName = Text(f, "name");
    // Every message passes through printf after "<product>" has been replaced,
    // so a percent sign in the name would be read as a directive.
    if (s.productName.find('%') != std::string::npos)
      Fail(f.Get("name")->source(), "the product name may not contain '%': messages that name the product are used as "
                                    "printf formats by the installer");
    if (IsBlank(s.productName)) Fail(f.Get("name")->source(), "the product name is blank");
    s.publisher = Text(f, "publisher");
    s.versionText = Text(f, "version");
    s.displayName = Text(f, "display-name");
    s.defaultDir = Text(f, "install-dir");
    s.sharedDir = Text(f, "shared-dir");
    s.productStartMenu = Text(f, "start-menu");
    s.productRegistry = Text(f, "registry");
    if (const toml::node* n = f.Get("flags")) s.productFlags |= Bits(*n, ProductFlagNames(), "'flags' in [product]");
    if (const toml::node* n = f.Get("master-product")) {
      s.masterProductName = Text(*n, "'master-product' in [product]");
      s.productFlags |= format::kFlagMasterProduct;
    }
    if (const toml::node* n = f.Get("excluded-systems"))
      s.excludedSystems = Bits(*n, SystemNames(), "'excluded-systems' in [product]");
  }

  void ReadWindow(const toml::table& table) {
    Fields f(table, "[window]", {"title-color", "top-color", "bottom-color", "background"});
    ScriptItems& s = m_.script;
    if (const toml::node* n = f.Get("title-color")) s.titleColor = Color(*n, "'title-color' in [window]");
    const toml::node* top = f.Get("top-color");
    const toml::node* bottom = f.Get("bottom-color");
    if (top || bottom) {
      // The gradient colours are read only with the custom-colours flag.
      s.productFlags |= format::kFlagCustomColors;
      s.topColor = top ? Color(*top, "'top-color' in [window]") : 0;
      s.bottomColor = bottom ? Color(*bottom, "'bottom-color' in [window]") : s.topColor;
      if (!top) s.topColor = s.bottomColor;
    }
    if (const toml::node* n = f.Get("background")) {
      std::string what = "'background' in [window]";
      std::vector<u8> bytes = ReadSource(*n, what);
      std::string reason;
      if (!ReadBackgroundBitmap(bytes, s.backgroundBitmap, reason)) Fail(n->source(), what + ": " + reason);
    }
  }

  void ReadUninstaller(const toml::table& table) {
    Fields f(table, "[uninstaller]", {"file-name", "subdir", "stamp", "icon"});
    ScriptItems& s = m_.script;
    s.uninstallerFileName = PlainName(f, "file-name", s.uninstallerFileName);
    if (const toml::node* n = f.Get("subdir")) {
      s.uninstallSubdir = Text(*n, "'subdir' in [uninstaller]");
      std::string why;
      if (!s.uninstallSubdir.empty() && !CheckRecordName(s.uninstallSubdir, why))
        Fail(n->source(), "'subdir' in [uninstaller] must be a folder below the installation directory: " + why);
      std::replace(s.uninstallSubdir.begin(), s.uninstallSubdir.end(), '/', '\\');
    }
    if (const toml::node* n = f.Get("stamp")) {
      s.uninstallerStamp = Stamp(*n, "'stamp' in [uninstaller]");
      m_.uninstallerStampGiven = true;
    }
    if (const toml::node* n = f.Get("icon")) {
      m_.uninstallerIcon = HostPath(*n, "'icon' in [uninstaller]");
      std::vector<u8> bytes = ReadSource(*n, "'icon' in [uninstaller]");
      std::string reason;
      if (!ReadIconPatch(bytes, s.iconPatch, reason)) Fail(n->source(), "'icon' in [uninstaller]: " + reason);
    }
  }

  void ReadBatches(const toml::table& table) {
    Fields f(table, "[batches]", {"pre-install", "post-install-1", "post-install-2", "uninstall-1", "uninstall-2"});
    ScriptItems& s = m_.script;
    struct Batch {
      const char* key;
      std::string* text;
      u32 hiddenFlag;
    };
    const Batch batches[] = {
        {"pre-install", &s.preInstallBatch, format::kFlagHidePreBatch},
        {"post-install-1", &s.postInstallBatch1, format::kFlagHidePostBatch1},
        {"post-install-2", &s.postInstallBatch2, format::kFlagHidePostBatch2},
        {"uninstall-1", &s.uninstallBatch1, format::kFlagHideUninstallBatch1},
        {"uninstall-2", &s.uninstallBatch2, format::kFlagHideUninstallBatch2},
    };
    for (const Batch& batch : batches) {
      const toml::node* n = f.Get(batch.key);
      if (!n) continue;
      std::string what = "batch '" + std::string(batch.key) + "'";
      if (n->is_string()) {
        *batch.text = ToCrLf(Text(*n, what));
        continue;
      }
      Fields b(*Table(*n, what), "[batches." + std::string(batch.key) + "]", {"text", "file", "hidden"});
      *batch.text = TextOrFile(b, what);
      if (const toml::node* hidden = b.Get("hidden"); hidden && Boolean(*hidden, "'hidden' of " + what))
        s.productFlags |= batch.hiddenFlag;
    }
  }

  void ReadVolumes(const toml::table& table) {
    Fields f(table, "[volumes]", {"size", "base-name", "first-sequence"});
    ScriptItems& s = m_.script;
    if (const toml::node* n = f.Get("size")) {
      i64 size = Integer(*n, "'size' in [volumes]");
      if (size < 4096 || size > 0x7FFFFFFF)
        Fail(n->source(), "'size' in [volumes] is the largest size of each file in bytes: 4096 to 2147483647");
      m_.volumeSize = static_cast<u64>(size);
    }
    if (f.Get("base-name")) {
      s.volumeBaseName = PlainName(f, "base-name", "");
      if (IsBlank(s.volumeBaseName)) Fail(f.Get("base-name")->source(), "'base-name' in [volumes] is blank");
      m_.volumeBaseGiven = true;
    }
    if (const toml::node* n = f.Get("first-sequence")) {
      i64 value = Integer(*n, "'first-sequence' in [volumes]");
      if (value < 0 || value > 0xFFFFFFFFll) Fail(n->source(), "'first-sequence' in [volumes] is a 32-bit number");
      s.firstSequenceNumber = static_cast<u32>(value);
      m_.firstSequenceGiven = true;
    }
  }

  void ReadPages(const toml::node& node, const std::string& name, std::vector<std::string>& pages) {
    std::vector<const toml::table*> tables = TableArray(node, name);
    for (const toml::table* t : tables) {
      if (pages.size() == kMaxPagesPerList)
        Fail(t->source(), "too many [[" + name + "]] pages: an installer holds at most 20 of each kind");
      Fields f(*t, "[[" + name + "]]", {"text", "file"});
      pages.push_back(TextOrFile(f, "[[" + name + "]] page " + std::to_string(pages.size() + 1)));
    }
  }

  // Message overrides: message number -> text.
  void ReadMessages(const toml::node& node, const std::string& owner, std::map<int, std::string>& texts, int& count) {
    for (auto&& [key, value] : *Table(node, "'messages' of " + owner)) {
      const std::string k(key.str());
      bool digits = !k.empty() && k.size() <= 4 &&
                    std::all_of(k.begin(), k.end(), [](char c) { return c >= '0' && c <= '9'; });
      if (!digits) Fail(key.source(), "message keys are message numbers from 0 to 9999, not '" + k + "'");
      int number = std::stoi(k);
      std::string text = ToCrLf(Text(value, "message " + k + " of " + owner));
      std::string why;
      if (!CheckMessageFormat(number, text, why)) Fail(value.source(), why);
      texts[number] = text;
      count = std::max(count, number + 1);
    }
  }

  // Every language starts from the built-in English table, then takes the
  // top-level [messages], then its own.
  void ReadLanguages(const toml::node* common, const toml::node* languages) {
    ScriptItems& s = m_.script;
    int count = kDefaultMessageCount;
    std::map<int, std::string> shared;
    if (common) ReadMessages(*common, "[messages]", shared, count);
    std::vector<std::map<int, std::string>> own;
    if (languages) {
      for (const toml::table* t : TableArray(*languages, "language")) {
        if (s.languages.size() == kMaxLanguages) Fail(t->source(), "too many languages: an installer holds at most 255");
        Fields f(*t, "[[language]]", {"name", "messages"});
        Language language;
        if (!f.Get("name")) Fail(t->source(), "[[language]] needs a 'name'");
        language.name = Text(f, "name");
        if (IsBlank(language.name)) Fail(f.Get("name")->source(), "the language name is blank");
        std::map<int, std::string> texts;
        if (const toml::node* n = f.Get("messages")) ReadMessages(*n, "language " + language.name, texts, count);
        s.languages.push_back(std::move(language));
        own.push_back(std::move(texts));
      }
    }
    if (s.languages.empty()) {
      s.languages.push_back(Language{"English", {}});
      own.emplace_back();
    }
    s.messageCount = count;
    for (std::size_t i = 0; i < s.languages.size(); ++i) {
      std::vector<std::string>& messages = s.languages[i].messages;
      messages.resize(static_cast<std::size_t>(count));
      for (int n = 0; n < count; ++n) messages[static_cast<std::size_t>(n)] = DefaultMessage(n);
      for (auto& [number, text] : shared) messages[static_cast<std::size_t>(number)] = text;
      for (auto& [number, text] : own[i]) messages[static_cast<std::size_t>(number)] = text;
    }
  }

  void ReadFile(const toml::table& table) {
    Fields f(table, "[[file]]",
             {"source", "name", "type", "flags", "existing", "stamp", "shortcut-name", "font-name", "version", "icon",
              "arguments"});
    ManifestFile file;
    file.where = Where(table.source(), path_);
    FileRecord& r = file.record;
    const toml::node* source = f.Get("source");
    if (!source) Fail(table.source(), "[[file]] needs a 'source'");
    file.source = HostPath(*source, "'source' of [[file]]");
    std::string what = "[[file]] '" + RawString(*source, "'source'") + "'";

    std::error_code ec;
    auto status = std::filesystem::status(file.source, ec);
    if (ec || !std::filesystem::exists(status))
      Fail(source->source(), "the source file '" + file.source + "' does not exist");
    if (!std::filesystem::is_regular_file(status))
      Fail(source->source(), "the source '" + file.source + "' is not a regular file");
    file.size = std::filesystem::file_size(file.source, ec);
    if (ec) Fail(source->source(), "cannot read the size of '" + file.source + "': " + ec.message());
    if (file.size > kMaxFileBytes)
      Fail(source->source(), "the source file '" + file.source + "' is " + std::to_string(file.size) +
                                 " bytes; an installer holds files of at most 1 GiB (1073741824 bytes)");

    std::string fallbackName = Ansi(std::filesystem::path(file.source).filename().string(), *source, what + " name");
    r.name = Text(f, "name", fallbackName);
    std::replace(r.name.begin(), r.name.end(), '/', '\\');
    std::string why;
    if (!CheckRecordName(r.name, why))
      Fail(f.Get("name") ? f.Get("name")->source() : source->source(),
           what + ": the target name '" + AnsiToUtf8(r.name) + "' is not a safe relative path: " + why);

    if (const toml::node* n = f.Get("type")) {
      if (n->is_integer()) {
        i64 value = n->as_integer()->get();
        if (value < 0 || value > 0xFFFFFFFFll || !NameOfValue(FileTypeNames(), static_cast<u32>(value)))
          Fail(n->source(), what + ": the type " + std::to_string(value) + " is not one the installer knows (" +
                                ListNames(FileTypeNames()) + ")");
        r.type = static_cast<u32>(value);
      } else {
        const std::string& name = RawString(*n, what + " 'type'");
        auto value = LookupName(FileTypeNames(), name);
        if (!value) Fail(n->source(), what + ": unknown type '" + name + "' (known types: " + ListNames(FileTypeNames()) + ")");
        r.type = *value;
      }
    }
    if (const toml::node* n = f.Get("flags")) r.flags = Bits(*n, FileFlagNames(), what + " 'flags'");
    if (const toml::node* n = f.Get("existing")) {
      if (r.flags & kFileModeMask) Fail(n->source(), what + ": the existing-file mode is given twice ('flags' and 'existing')");
      const std::string& name = RawString(*n, what + " 'existing'");
      auto mode = LookupName(ExistingModeNames(), name);
      if (!mode) Fail(n->source(), what + ": unknown existing-file mode '" + name + "' (known modes: " + ListNames(ExistingModeNames()) + ")");
      r.flags |= *mode;
    }
    bool linkable = r.type == kFileTypeInstallDir || r.type == kFileTypeStartup;
    if ((r.flags & (kFileFlagDesktop | kFileFlagPrograms)) && !linkable)
      Fail(f.Get("flags")->source(), what + ": shortcuts are made only for files of type install-dir and startup");

    if (const toml::node* n = f.Get("stamp")) {
      r.stamp = Stamp(*n, what + " 'stamp'");
    } else if (!FileStampOf(file.source, r.stamp, why)) {
      Fail(source->source(), what + ": " + why);
    }

    auto onlyFor = [&](const char* key, bool allowed, const char* types) {
      const toml::node* n = f.Get(key);
      if (n && !allowed) Fail(n->source(), what + ": '" + std::string(key) + "' applies only to files of type " + types);
      return n != nullptr;
    };
    if (onlyFor("shortcut-name", linkable, "install-dir and startup")) r.text1 = Text(f, "shortcut-name");
    if (onlyFor("font-name", r.type == kFileTypeFont, "font")) r.text1 = Text(f, "font-name");
    if (onlyFor("version", r.type == kFileTypeSystem, "system")) r.text1 = Text(f, "version");
    if (onlyFor("arguments", linkable, "install-dir and startup")) r.text3 = Text(f, "arguments");
    if (const toml::node* n = f.Get("icon")) {
      if (!HasIconText(r.flags))
        Fail(n->source(), what + ": 'icon' needs the desktop-shortcut or programs-shortcut flag (it is the shortcut's icon)");
      r.text2 = Text(*n, what + " 'icon'");
      std::replace(r.text2.begin(), r.text2.end(), '/', '\\');
    }
    // The uninstaller removes fonts by the pairs of display name and file
    // name and stops at the first empty field.
    if (r.type == kFileTypeFont && IsBlank(r.text1) && !(r.flags & kFileFlagPermanent))
      Fail(table.source(), what + ": a font needs its 'font-name' (the name Windows shows, such as \"Hello Sans (TrueType)\")");
    m_.files.push_back(std::move(file));
  }

  void ReadAssociation(const toml::table& table) {
    Fields f(table, "[[association]]",
             {"extension", "file-type", "description", "verb", "verb-text", "command", "language", "flags"});
    Association a;
    if (!f.Get("extension")) Fail(table.source(), "[[association]] needs an 'extension'");
    a.extension = Text(f, "extension");
    if (IsBlank(a.extension)) Fail(f.Get("extension")->source(), "the association's extension is blank");
    a.fileType = Text(f, "file-type");
    a.description = Text(f, "description");
    a.verb = Text(f, "verb", "open");
    if (IsBlank(a.verb)) Fail(f.Get("verb")->source(), "the association's verb is blank");
    a.verbText = Text(f, "verb-text");
    if (!f.Get("command")) Fail(table.source(), "[[association]] needs a 'command'");
    a.command = Text(f, "command");
    a.language = Text(f, "language");
    if (const toml::node* n = f.Get("flags")) a.flags = Bits(*n, AssociationFlagNames(), "'flags' of [[association]]");
    m_.script.associations.push_back(std::move(a));
  }

  void ReadBuild(const toml::table& table) {
    Fields f(table, "[build]", {"compression"});
    if (const toml::node* n = f.Get("compression")) {
      const std::string& level = RawString(*n, "'compression' in [build]");
      if (level == "fast") m_.level = CompressionLevel::kFast;
      else if (level == "best") m_.level = CompressionLevel::kBest;
      else Fail(n->source(), "'compression' in [build] is \"fast\" or \"best\"");
    }
  }

  std::string path_;
  std::filesystem::path base_;
  Manifest& m_;
};

}  // namespace

bool ParseManifest(std::string_view text, const std::string& path, Manifest& manifest, std::string& error) {
  manifest = Manifest{};
  manifest.path = path;
  try {
    toml::table root = toml::parse(text, path);
    ManifestReader(path, manifest).Read(root);
    for (const Language& language : manifest.script.languages) {
      if (language.messages.size() != static_cast<std::size_t>(manifest.script.messageCount)) {
        error = path + ": internal error: message table sizes differ";
        return false;
      }
    }
    return true;
  } catch (const toml::parse_error& e) {
    error = path + ":" + std::to_string(e.source().begin.line) + ":" + std::to_string(e.source().begin.column) +
            ": " + std::string(e.description());
  } catch (const Failure& f) {
    error = path + ":" + std::to_string(f.where.begin.line) + ":" + std::to_string(f.where.begin.column) + ": " +
            f.message;
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
  }
  return false;
}

bool ReadManifest(const std::string& path, Manifest& manifest, std::string& error) {
  std::vector<u8> bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  return ParseManifest(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path, manifest,
                       error);
}

}  // namespace kova::builder
