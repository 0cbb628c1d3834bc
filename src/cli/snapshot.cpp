// Snapshots of an installation target; see snapshot.h.
#include "cli/snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "builder/ansi_text.h"
#include "cli/reg_export.h"
#include "cli/sha256.h"
#include "platform/posix/sandbox.h"
#include "platform/registry.h"

namespace kova::cli {
namespace fs = std::filesystem;
namespace {

// --- Files ------------------------------------------------------------------

std::string StampText(const struct timespec& time) {
  std::tm utc{};
  gmtime_r(&time.tv_sec, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%07ld", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<long>(time.tv_nsec / 100));
  return text;
}

bool HashFile(const std::string& path, std::string& digest, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + path;
    return false;
  }
  Sha256 hash;
  std::vector<char> block(1 << 20);
  ssize_t n;
  while ((n = ::read(fd, block.data(), block.size())) > 0) hash.Add(block.data(), static_cast<std::size_t>(n));
  ::close(fd);
  if (n < 0) {
    error = "cannot read " + path;
    return false;
  }
  digest = hash.HexDigest();
  return true;
}

// Every entry below folder (links not followed) under the Windows path
// prefix ("C:").
bool AddDrive(const fs::path& folder, const std::string& drive, Snapshot& snapshot, std::string& error) {
  std::error_code code;
  fs::recursive_directory_iterator it(folder, fs::directory_options::none, code);
  if (code) {
    error = "cannot list " + folder.string() + ": " + code.message();
    return false;
  }
  for (; it != fs::recursive_directory_iterator(); it.increment(code)) {
    if (code) {
      error = "cannot list below " + folder.string() + ": " + code.message();
      return false;
    }
    const fs::path& path = it->path();
    std::string windows = drive;
    for (const fs::path& part : fs::relative(path, folder)) windows += "\\" + part.string();
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0) {
      error = "cannot read " + path.string();
      return false;
    }
    FileState state;
    state.stamp = StampText(info.st_mtim);
    if (S_ISLNK(info.st_mode)) {
      state.kind = "link";
      state.target = fs::read_symlink(path, code).string();
      it.disable_recursion_pending();
    } else if (S_ISDIR(info.st_mode)) {
      state.kind = "folder";
      state.stamp.clear();  // a folder's time changes with what happens inside it
    } else {
      state.kind = "file";
      state.size = static_cast<u64>(info.st_size);
      if (!HashFile(path.string(), state.sha256, error)) return false;
    }
    snapshot.files[windows] = state;
  }
  return true;
}

// --- Registry ---------------------------------------------------------------

std::string Utf8(const std::string& ansi) { return builder::AnsiToUtf8(ansi); }

bool AddSandboxKey(platform::RegistryKey key, const std::string& path, Snapshot& snapshot, std::string& error) {
  RegistryValues& values = snapshot.registry[path];
  core::String name, data;
  u32 type = 0;
  platform::SystemError status;
  for (u32 index = 0; (status = platform::EnumRegistryValue(key, index, name, type, data)) == platform::kErrorSuccess;
       ++index)
    values[Utf8(name.CStr())] = Utf8(RegistryValueText(
        type, std::string(data.CStr(), static_cast<std::size_t>(data.Length()))));
  std::vector<std::string> children;
  char child[platform::kMaxKeyNameLength + 1];
  for (u32 index = 0; (status = platform::EnumRegistryKey(key, index, child, sizeof child)) == platform::kErrorSuccess;
       ++index)
    children.emplace_back(child);
  for (const std::string& childName : children) {
    platform::ScopedRegistryKey sub;
    if (platform::OpenRegistryKey(key, childName.c_str(), sub.Out()) != platform::kErrorSuccess) {
      error = "cannot open the registry key " + path + "\\" + childName;
      return false;
    }
    if (!AddSandboxKey(sub.Get(), path + "\\" + Utf8(childName), snapshot, error)) return false;
  }
  return true;
}

// Code page 1252's characters 0x80 to 0x9F (0 where the code page has none).
constexpr char16_t kAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// A UTF-16 code unit as the ANSI functions give it: '?' without a place in
// code page 1252.
char AnsiOf(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i)
    if (kAnsiHigh[i] == unit) return static_cast<char>(0x80 + i);
  return '?';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads an escaped text of Wine's registry files from text[at] up to the
// unescaped end character, as ANSI; at ends after it. False when it does not
// end.
bool ReadEscaped(const std::string& text, std::size_t& at, char end, std::string& out) {
  while (at < text.size()) {
    char c = text[at++];
    if (c == end) return true;
    if (c != '\\' || at >= text.size()) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
        continue;
      }
      // UTF-8 written as it is.
      unsigned char lead = static_cast<unsigned char>(c);
      int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
      char32_t unit = lead & (0x3F >> more);
      for (int i = 0; i < more && at < text.size(); ++i) unit = (unit << 6) | (text[at++] & 0x3F);
      out += unit > 0xFFFF ? '?' : AnsiOf(static_cast<char16_t>(unit));
      continue;
    }
    c = text[at++];
    switch (c) {
      case 'a': out += '\a'; break;
      case 'b': out += '\b'; break;
      case 'e': out += '\x1b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'v': out += '\v'; break;
      case 'x': {
        char16_t unit = 0;
        for (int i = 0; i < 4 && at < text.size() && HexDigit(text[at]) >= 0; ++i)
          unit = static_cast<char16_t>(unit * 16 + HexDigit(text[at++]));
        out += AnsiOf(unit);
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          char16_t unit = static_cast<char16_t>(c - '0');
          for (int i = 0; i < 2 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++i)
            unit = static_cast<char16_t>(unit * 8 + (text[at++] - '0'));
          out += AnsiOf(unit);
        } else {
          out += c;
        }
    }
  }
  return false;
}

bool ReadHexBytes(const std::string& text, std::string& bytes) {
  for (std::size_t at = 0; at < text.size();) {
    char c = text[at];
    if (c == ',' || c == ' ' || c == '\t') {
      ++at;
      continue;
    }
    if (at + 1 >= text.size() || HexDigit(c) < 0 || HexDigit(text[at + 1]) < 0) return false;
    bytes += static_cast<char>(HexDigit(c) * 16 + HexDigit(text[at + 1]));
    at += 2;
  }
  return true;
}

// UTF-16LE bytes of a text value as the ANSI functions give them.
std::string AnsiFromUtf16(const std::string& bytes) {
  std::string ansi;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    ansi += AnsiOf(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return ansi;
}

bool IsTextType(u32 type) { return type == 1 || type == 2 || type == 7; }

// One value's data after the '=': type and bytes.
bool ReadWineValue(const std::string& text, u32& type, std::string& data) {
  std::size_t at = 0;
  if (text.rfind("\"", 0) == 0 || text.rfind("str(", 0) == 0) {
    type = 1;
    if (text[0] == 's') {
      std::size_t close = text.find("):");
      if (close == std::string::npos) return false;
      type = static_cast<u32>(std::strtoul(text.c_str() + 4, nullptr, 16));
      at = close + 2;
    }
    if (at >= text.size() || text[at] != '"') return false;
    ++at;
    if (!ReadEscaped(text, at, '"', data)) return false;
    data += '\0';
    return true;
  }
  if (text.rfind("dword:", 0) == 0) {
    type = 4;
    u32 value = static_cast<u32>(std::strtoul(text.c_str() + 6, nullptr, 16));
    for (int i = 0; i < 4; ++i) data += static_cast<char>(value >> (8 * i));
    return true;
  }
  if (text.rfind("hex", 0) == 0) {
    type = 3;
    std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    if (text[3] == '(') type = static_cast<u32>(std::strtoul(text.c_str() + 4, nullptr, 16));
    std::string bytes;
    if (!ReadHexBytes(text.substr(colon + 1), bytes)) return false;
    data = IsTextType(type) ? AnsiFromUtf16(bytes) : bytes;
    return true;
  }
  return false;
}

bool AddWineRegistry(const fs::path& file, const std::string& rootName, Snapshot& snapshot, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return true;  // Wine writes the file once it has something in it
  std::stringstream text;
  text << in.rdbuf();
  if (!ReadWineRegistry(text.str(), rootName, snapshot.registry, error)) {
    error = file.string() + ": " + error;
    return false;
  }
  return true;
}

bool IsSandboxDrive(const std::string& name) {
  return name.size() == 7 && name.rfind("drive_", 0) == 0 && std::isalpha(static_cast<unsigned char>(name[6]));
}

}  // namespace

std::string RegistryValueText(u32 type, const std::string& data) {
  std::string line = Regedit4ValueLine("", type, data).substr(2);  // without "@="
  std::string joined;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line.compare(i, 5, "\\\r\n  ") == 0) {
      i += 4;
      continue;
    }
    joined += line[i];
  }
  return joined;
}

bool ReadWineRegistry(const std::string& text, const std::string& rootName,
                      std::map<std::string, RegistryValues>& keys, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  RegistryValues* current = nullptr;
  if (!std::getline(lines, line) || line.rfind("WINE REGISTRY Version 2", 0) != 0) {
    error = "not a registry file of Wine (it begins with \"WINE REGISTRY Version 2\")";
    return false;
  }
  ++number;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Hex data goes on over lines that end with a backslash.
    while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
      std::string next;
      if (!std::getline(lines, next)) break;
      ++number;
      if (!next.empty() && next.back() == '\r') next.pop_back();
      line.pop_back();
      line += next;
    }
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    std::size_t at = 1;
    if (line[0] == '[') {
      std::string path;
      if (!ReadEscaped(line, at, ']', path)) {
        error = "line " + std::to_string(number) + ": a key without its closing ']'";
        return false;
      }
      current = &keys[Utf8(rootName + "\\" + path)];
      continue;
    }
    if (!current) {
      error = "line " + std::to_string(number) + ": a value before the first key";
      return false;
    }
    std::string name;
    if (line[0] == '"') {
      if (!ReadEscaped(line, at, '"', name)) {
        error = "line " + std::to_string(number) + ": a value name without its closing quote";
        return false;
      }
    } else if (line[0] != '@') {
      error = "line " + std::to_string(number) + ": neither a key nor a value";
      return false;
    }
    if (at >= line.size() || line[at] != '=') {
      error = "line " + std::to_string(number) + ": a value without '='";
      return false;
    }
    u32 type = 0;
    std::string data;
    if (!ReadWineValue(line.substr(at + 1), type, data)) {
      error = "line " + std::to_string(number) + ": value data not understood";
      return false;
    }
    (*current)[Utf8(name)] = Utf8(RegistryValueText(type, data));
  }
  return true;
}

bool TakeSnapshot(const std::string& root, Snapshot& snapshot, std::string& error) {
  std::error_code code;
  if (!fs::is_directory(root, code)) {
    error = root + " is not a folder";
    return false;
  }
  bool wine = fs::exists(fs::path(root) / "system.reg", code);
  snapshot.source = wine ? "wine" : "sandbox";
  if (wine) {
    if (!AddDrive(fs::path(root) / "drive_c", "C:", snapshot, error)) return false;
    return AddWineRegistry(fs::path(root) / "system.reg", "HKEY_LOCAL_MACHINE", snapshot, error) &&
           AddWineRegistry(fs::path(root) / "user.reg", "HKEY_CURRENT_USER", snapshot, error);
  }
  bool any = false;
  std::vector<std::string> drives;
  for (const fs::directory_entry& entry : fs::directory_iterator(root, code)) {
    std::string name = entry.path().filename().string();
    if (IsSandboxDrive(name) && entry.is_directory()) drives.push_back(name);
  }
  std::sort(drives.begin(), drives.end());
  for (const std::string& name : drives) {
    any = true;
    std::string drive(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[6]))));
    if (!AddDrive(fs::path(root) / name, drive + ":", snapshot, error)) return false;
  }
  if (!any && !fs::exists(fs::path(root) / "registry.db", code)) {
    error = root + " is neither a sandbox root (drive_c/, registry.db) nor a Wine prefix (drive_c/, system.reg)";
    return false;
  }
  platform::posix::SetSandboxRoot(root.c_str());
  return AddSandboxKey(platform::kLocalMachine, "HKEY_LOCAL_MACHINE", snapshot, error) &&
         AddSandboxKey(platform::kCurrentUser, "HKEY_CURRENT_USER", snapshot, error);
}

nlohmann::ordered_json SnapshotToJson(const Snapshot& snapshot) {
  nlohmann::ordered_json json;
  json["kova-snapshot"] = 1;
  json["source"] = snapshot.source;
  nlohmann::ordered_json files = nlohmann::ordered_json::object();
  for (const auto& [path, state] : snapshot.files) {
    nlohmann::ordered_json entry;
    entry["kind"] = state.kind;
    if (state.kind == "file") {
      entry["size"] = state.size;
      entry["stamp"] = state.stamp;
      entry["sha256"] = state.sha256;
    } else if (state.kind == "link") {
      entry["target"] = state.target;
    }
    files[path] = entry;
  }
  json["files"] = files;
  nlohmann::ordered_json registry = nlohmann::ordered_json::object();
  for (const auto& [key, values] : snapshot.registry) {
    nlohmann::ordered_json entry = nlohmann::ordered_json::object();
    for (const auto& [name, data] : values) entry[name] = data;
    registry[key] = entry;
  }
  json["registry"] = registry;
  return json;
}

bool SnapshotFromJson(const nlohmann::json& json, Snapshot& snapshot, std::string& error) {
  if (!json.is_object() || json.value("kova-snapshot", 0) != 1 || !json.contains("files") ||
      !json["files"].is_object() || !json.contains("registry") || !json["registry"].is_object()) {
    error = "not a snapshot of kova snapshot";
    return false;
  }
  snapshot.source = json.value("source", "");
  for (const auto& [path, entry] : json["files"].items()) {
    if (!entry.is_object()) {
      error = "the entry of " + path + " is not an object";
      return false;
    }
    FileState state;
    state.kind = entry.value("kind", "");
    state.size = entry.value("size", u64{0});
    state.stamp = entry.value("stamp", "");
    state.sha256 = entry.value("sha256", "");
    state.target = entry.value("target", "");
    snapshot.files[path] = state;
  }
  for (const auto& [key, values] : json["registry"].items()) {
    if (!values.is_object()) {
      error = "the values of " + key + " are not an object";
      return false;
    }
    RegistryValues& into = snapshot.registry[key];
    for (const auto& [name, data] : values.items()) {
      if (!data.is_string()) {
        error = "the value " + name + " of " + key + " is not a text";
        return false;
      }
      into[name] = data.get<std::string>();
    }
  }
  return true;
}

namespace {

std::string Describe(const FileState& state) {
  if (state.kind == "file") return std::to_string(state.size) + " bytes, " + state.stamp + ", sha256 " + state.sha256;
  if (state.kind == "link") return "-> " + state.target;
  return "";
}

// Two maps walked in step: each key present in one, the other or both.
template <typename Map, typename Visit>
void Merge(const Map& before, const Map& after, Visit visit) {
  auto a = before.begin();
  auto b = after.begin();
  while (a != before.end() || b != after.end()) {
    if (b == after.end() || (a != before.end() && a->first < b->first)) {
      visit(a->first, &a->second, nullptr);
      ++a;
    } else if (a == before.end() || b->first < a->first) {
      visit(b->first, nullptr, &b->second);
      ++b;
    } else {
      visit(a->first, &a->second, &b->second);
      ++a;
      ++b;
    }
  }
}

}  // namespace

std::vector<Difference> CompareSnapshots(const Snapshot& before, const Snapshot& after) {
  std::vector<Difference> differences;
  Merge(before.files, after.files, [&](const std::string& path, const FileState* was, const FileState* is) {
    if (!was) {
      differences.push_back({'+', is->kind, path, "", "", Describe(*is)});
    } else if (!is) {
      differences.push_back({'-', was->kind, path, "", Describe(*was), ""});
    } else if (!(*was == *is)) {
      differences.push_back({'~', is->kind, path, "", was->kind == is->kind ? Describe(*was) : was->kind,
                             was->kind == is->kind ? Describe(*is) : is->kind});
    }
  });
  Merge(before.registry, after.registry,
        [&](const std::string& key, const RegistryValues* was, const RegistryValues* is) {
          if (!was) differences.push_back({'+', "key", key, "", "", ""});
          if (!is) differences.push_back({'-', "key", key, "", "", ""});
          static const RegistryValues kNone;
          Merge(was ? *was : kNone, is ? *is : kNone,
                [&](const std::string& name, const std::string* old, const std::string* now) {
                  if (!old) differences.push_back({'+', "value", key, name, "", *now});
                  else if (!now) differences.push_back({'-', "value", key, name, *old, ""});
                  else if (*old != *now) differences.push_back({'~', "value", key, name, *old, *now});
                });
        });
  return differences;
}

}  // namespace kova::cli
