// kova reg: the sandbox registry from the command line; see reg_command.h.
// Everything goes through the platform's raw registry, the same code the
// engine uses inside `kova run`, so what this shows is what an installer saw.
#include "cli/reg_command.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "builder/host_files.h"
#include "cli/command_line.h"
#include "cli/reg_export.h"
#include "format/byte_reader.h"
#include "platform/posix/registry_database.h"
#include "platform/posix/sandbox.h"
#include "platform/registry.h"

namespace kova::cli {
namespace {

using platform::RegistryKey;
using platform::SystemError;

constexpr const char* kRegUsage =
    "Usage: kova reg COMMAND [--root DIR] ARGUMENTS\n"
    "\n"
    "Reads and changes the registry of a sandbox: DIR/registry.db (default DIR:\n"
    "./kova-root).\n"
    "\n"
    "Commands:\n"
    "  export [KEY] [-o FILE]         REGEDIT4 text of KEY and everything below it,\n"
    "                                 or of the whole registry\n"
    "  query KEY [NAME]               the values and subkeys of KEY, or one value\n"
    "  set KEY [NAME [DATA]] [--type TYPE]\n"
    "                                 create KEY (and its parents); with NAME also\n"
    "                                 set that value\n"
    "  delete KEY [NAME]              delete KEY with everything below it, or one\n"
    "                                 of its values\n"
    "\n"
    "KEY begins with a root: HKEY_CLASSES_ROOT (HKCR), HKEY_CURRENT_USER (HKCU),\n"
    "HKEY_LOCAL_MACHINE (HKLM), HKEY_USERS (HKU) or HKEY_CURRENT_CONFIG (HKCC),\n"
    "for example 'HKCU\\Software\\Product'. NAME \"\" or @ is the key's default value.\n"
    "\n"
    "TYPE for set (default sz):\n"
    "  sz, expand_sz   DATA is the text\n"
    "  multi_sz        DATA is the texts, separated by \\0 (backslash, zero)\n"
    "  binary          DATA is hex bytes: 01,02,ff or 0102ff\n"
    "  dword           DATA is a number: 12, 0x1f or -1\n"
    "\n"
    "Exit status: 0 done, 1 not found or the registry failed, 2 usage error.\n";

struct Root {
  const char* name;
  const char* shortName;
  RegistryKey key;
};

constexpr Root kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", platform::kLocalMachine}, {"HKEY_CURRENT_USER", "HKCU", platform::kCurrentUser},
    {"HKEY_USERS", "HKU", platform::kUsers},                  {"HKEY_CURRENT_CONFIG", "HKCC", platform::kCurrentConfig},
    {"HKEY_CLASSES_ROOT", "HKCR", platform::kClassesRoot},
};
// The whole-registry export: the stored roots (HKEY_CLASSES_ROOT is a view of
// HKEY_LOCAL_MACHINE\Software\Classes and comes with it).
constexpr int kStoredRoots = 4;

struct Type {
  const char* name;
  u32 type;
};

constexpr Type kTypes[] = {
    {"sz", platform::kRegSz},         {"expand_sz", platform::kRegExpandSz}, {"multi_sz", platform::kRegMultiSz},
    {"binary", platform::kRegBinary}, {"dword", platform::kRegDword},
};

struct Arguments {
  std::string command;
  std::string root;
  std::string output;
  std::string type = "sz";
  std::vector<std::string> positional;  // the command's KEY, NAME, DATA as given
};

// Each command and the operands it takes.
struct CommandOperands {
  const char* name;
  std::vector<const char*> operands;
};

const CommandOperands kCommands[] = {
    {"export", {"KEY"}}, {"query", {"KEY", "NAME"}}, {"set", {"KEY", "NAME", "DATA"}}, {"delete", {"KEY", "NAME"}}};

struct Key {
  const Root* root = nullptr;
  std::string path;      // below the root, separators tidied
  std::string fullPath;  // "HKEY_...\path"
};

constexpr const char* kRegHint = "Run 'kova reg --help' for the commands and options.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kova reg: %s\n%s", message.c_str(), kRegHint);
  return 2;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "kova reg: %s\n", message.c_str());
  return 1;
}

std::string ErrorText(SystemError error) {
  switch (error) {
    case platform::kErrorFileNotFound: return "not found";
    case platform::kErrorAccessDenied: return "access denied";
    case platform::kErrorBadPathName: return "a key path must not begin with a backslash";
    case platform::kErrorInvalidParameter: return "invalid name (a key name has at most 255 characters)";
    case platform::kErrorBusy: return "registry.db is held by another process";
    case platform::kErrorBadDatabase: return "registry.db is damaged or is not a sandbox registry";
    case platform::kErrorRegistryIo: return "registry.db cannot be read or written";
    default: return "error " + std::to_string(error);
  }
}

bool EqualsNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool ParseKey(const std::string& text, Key& key, std::string& error) {
  std::size_t slash = text.find('\\');
  std::string rootName = text.substr(0, slash);
  for (const Root& root : kRoots)
    if (EqualsNoCase(rootName, root.name) || EqualsNoCase(rootName, root.shortName)) key.root = &root;
  if (!key.root) {
    error = "'" + text + "' does not begin with a root key such as HKEY_CURRENT_USER or HKCU";
    return false;
  }
  std::string rest = slash == std::string::npos ? "" : text.substr(slash + 1);
  key.path.clear();
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) key.path += (key.path.empty() ? "" : "\\") + rest.substr(start, end - start);
    start = end + 1;
  }
  key.fullPath = std::string(key.root->name) + (key.path.empty() ? "" : "\\" + key.path);
  return true;
}

// Reading never makes a sandbox: a mistyped --root is an error, not an
// empty registry. Checked once the arguments are known to be right.
bool RegistryMissing() {
  std::string database = platform::posix::RegistryDatabasePath().CStr();
  if (std::filesystem::exists(database)) return false;
  Failure("no sandbox registry at " + database);
  return true;
}

std::string ValueName(const std::string& name) { return name == "@" ? "" : name; }

// Opens a key that must exist; prints the failure.
bool OpenExisting(const Key& key, RegistryKey* handle) {
  SystemError status = platform::OpenRegistryKey(key.root->key, key.path.c_str(), handle);
  if (status == platform::kErrorSuccess) return true;
  Failure(key.fullPath + ": " + ErrorText(status));
  return false;
}

std::string TypeName(u32 type) {
  switch (type) {
    case platform::kRegNone: return "REG_NONE";
    case platform::kRegSz: return "REG_SZ";
    case platform::kRegExpandSz: return "REG_EXPAND_SZ";
    case platform::kRegBinary: return "REG_BINARY";
    case platform::kRegDword: return "REG_DWORD";
    case platform::kRegMultiSz: return "REG_MULTI_SZ";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "0x%x", type);
      return text;
    }
  }
}

// The data as `reg query` shows it.
std::string DataText(u32 type, const std::string& data) {
  char text[16];
  switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
      return data.substr(0, data.find('\0'));
    case platform::kRegMultiSz: {
      std::string items;
      for (std::size_t start = 0; start < data.size() && data[start] != '\0';) {
        std::size_t end = data.find('\0', start);
        if (end == std::string::npos) end = data.size();
        items += (items.empty() ? "" : "\\0") + data.substr(start, end - start);
        start = end + 1;
      }
      return items;
    }
    case platform::kRegDword:
      if (data.size() == 4) {
        unsigned value = format::LoadLe32(reinterpret_cast<const u8*>(data.data()));
        std::snprintf(text, sizeof text, "0x%x", value);
        return text;
      }
      [[fallthrough]];
    default: {
      std::string hex;
      for (char c : data) {
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(c));
        hex += text;
      }
      return hex;
    }
  }
}

std::string QueryLine(const std::string& name, u32 type, const std::string& data) {
  return "    " + (name.empty() ? std::string("(Default)") : name) + "    " + TypeName(type) + "    " +
         DataText(type, data) + "\n";
}

bool ParseNumber(const std::string& text, u32& number) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 0);
  if (errno || *end || value < -2147483648LL || value > 0xFFFFFFFFLL) return false;
  number = static_cast<u32>(value);
  return true;
}

bool ParseHex(const std::string& text, std::string& bytes) {
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    digits += c;
  }
  if (digits.size() % 2) return false;
  for (std::size_t i = 0; i < digits.size(); i += 2)
    bytes += static_cast<char>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16));
  return true;
}

// The bytes a value of type holds for the command-line text; false with a
// message when the text does not fit the type.
bool EncodeData(u32 type, const std::string& text, std::string& bytes, std::string& error) {
  switch (type) {
    case platform::kRegDword: {
      u32 number = 0;
      if (!ParseNumber(text, number)) {
        error = "'" + text + "' is not a 32-bit number";
        return false;
      }
      for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(number >> shift);
      return true;
    }
    case platform::kRegBinary:
      if (!ParseHex(text, bytes)) {
        error = "'" + text + "' is not a list of hex bytes";
        return false;
      }
      return true;
    case platform::kRegMultiSz:
      for (std::size_t start = 0; start <= text.size() && !text.empty();) {
        std::size_t end = text.find("\\0", start);
        if (end == std::string::npos) end = text.size();
        bytes += text.substr(start, end - start);
        bytes += '\0';
        start = end + 2;
      }
      bytes += '\0';
      return true;
    default:
      bytes = text + '\0';
      return true;
  }
}

int Export(const Arguments& args) {
  if (args.positional.size() > 1) return UsageError("export takes at most one KEY");
  Key key;
  std::string problem;
  if (!args.positional.empty() && !ParseKey(args.positional[0], key, problem)) return UsageError(problem);
  if (RegistryMissing()) return 1;
  std::string text = Regedit4Header();
  SystemError error = platform::kErrorSuccess;
  if (args.positional.empty()) {
    for (int i = 0; i < kStoredRoots; ++i)
      if (!AppendRegedit4Tree(kRoots[i].key, kRoots[i].name, true, text, &error)) return Failure(ErrorText(error));
  } else {
    platform::ScopedRegistryKey handle;
    if (!OpenExisting(key, handle.Out())) return 1;
    if (!AppendRegedit4Tree(handle.Get(), key.fullPath, key.path.empty(), text, &error)) return Failure(key.fullPath + ": " + ErrorText(error));
  }
  if (args.output.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : Failure("cannot write the output");
  }
  // Whole or not at all: a failed write leaves neither part of the export
  // nor a truncated earlier file.
  if (!builder::WriteFilesAtomically({{args.output, std::vector<u8>(text.begin(), text.end()), {}}}, problem))
    return Failure(problem);
  return 0;
}

int Query(const Arguments& args) {
  if (args.positional.empty() || args.positional.size() > 2) return UsageError("query takes KEY and at most one NAME");
  Key key;
  std::string problem;
  if (!ParseKey(args.positional[0], key, problem)) return UsageError(problem);
  if (RegistryMissing()) return 1;
  platform::ScopedRegistryKey handle;
  if (!OpenExisting(key, handle.Out())) return 1;
  std::string out;
  int status = 0;
  core::String name;
  core::String data;
  u32 type = 0;
  if (args.positional.size() == 2) {
    std::string wanted = ValueName(args.positional[1]);
    u32 size = 0;
    SystemError found = platform::QueryRegistryValue(handle.Get(), wanted.c_str(), &type, nullptr, &size);
    std::string bytes(size, '\0');
    if (found == platform::kErrorSuccess)
      found = platform::QueryRegistryValue(handle.Get(), wanted.c_str(), &type, reinterpret_cast<u8*>(bytes.data()), &size);
    if (found == platform::kErrorSuccess) {
      out = QueryLine(wanted, type, bytes.substr(0, size));
    } else {
      status = Failure(key.fullPath + ": value '" + args.positional[1] + "': " + ErrorText(found));
    }
  } else {
    out = key.fullPath + "\n";
    for (u32 index = 0; platform::EnumRegistryValue(handle.Get(), index, name, type, data) == platform::kErrorSuccess; ++index)
      out += QueryLine(name.CStr(), type, std::string(data.CStr(), static_cast<std::size_t>(data.Length())));
    char child[platform::kMaxKeyNameLength + 1];
    bool first = true;
    for (u32 index = 0; platform::EnumRegistryKey(handle.Get(), index, child, sizeof child) == platform::kErrorSuccess;
         ++index) {
      if (first) out += "\n";
      first = false;
      out += key.fullPath + "\\" + child + "\n";
    }
  }
  std::fputs(out.c_str(), stdout);
  return status;
}

int Set(const Arguments& args) {
  if (args.positional.empty() || args.positional.size() > 3) return UsageError("set takes KEY [NAME [DATA]]");
  const Type* type = nullptr;
  for (const Type& candidate : kTypes)
    if (EqualsNoCase(args.type, candidate.name) || EqualsNoCase(args.type, ("reg_" + std::string(candidate.name)).c_str()))
      type = &candidate;
  if (!type) return UsageError("unknown type '" + args.type + "'");
  Key key;
  std::string problem;
  if (!ParseKey(args.positional[0], key, problem)) return UsageError(problem);
  std::string bytes;
  if (args.positional.size() >= 2) {
    std::string text = args.positional.size() == 3 ? args.positional[2] : "";
    if (!EncodeData(type->type, text, bytes, problem)) return UsageError(problem);
  }
  platform::ScopedRegistryKey handle;
  SystemError status = platform::CreateRegistryKey(key.root->key, key.path.c_str(), handle.Out());
  if (status != platform::kErrorSuccess) return Failure(key.fullPath + ": " + ErrorText(status));
  if (args.positional.size() >= 2) {
    status = platform::SetRegistryValue(handle.Get(), ValueName(args.positional[1]).c_str(), type->type,
                                        reinterpret_cast<const u8*>(bytes.data()), static_cast<u32>(bytes.size()));
  }
  if (status != platform::kErrorSuccess) return Failure(key.fullPath + ": " + ErrorText(status));
  return 0;
}

int Delete(const Arguments& args) {
  if (args.positional.empty() || args.positional.size() > 2) return UsageError("delete takes KEY and at most one NAME");
  Key key;
  std::string problem;
  if (!ParseKey(args.positional[0], key, problem)) return UsageError(problem);
  if (RegistryMissing()) return 1;
  if (args.positional.size() == 2) {
    platform::ScopedRegistryKey handle;
    if (!OpenExisting(key, handle.Out())) return 1;
    SystemError status = platform::DeleteRegistryValue(handle.Get(), ValueName(args.positional[1]).c_str());
    if (status == platform::kErrorSuccess) return 0;
    return Failure(key.fullPath + ": value '" + args.positional[1] + "': " + ErrorText(status));
  }
  if (key.path.empty()) return Failure(key.fullPath + " is a root key and cannot be deleted");
  SystemError status = platform::DeleteRegistryTree(key.root->key, key.path.c_str());
  if (status == platform::kErrorSuccess) return 0;
  return Failure(key.fullPath + ": " + ErrorText(status));
}

}  // namespace

int RunReg(int argc, char** argv) {
  Arguments args;
  CommandLine line("kova reg", kRegUsage, kRegHint);
  CLI::App& reg = line.App();
  line.Value("--root", args.root);
  line.Value("-o,--output", args.output);
  line.Value("--type", args.type);
  // One command: after it, a command's name is an argument (a value "set").
  reg.require_subcommand(0, 1);
  std::string strayWord;  // a word before the command's name
  for (const CommandOperands& c : kCommands) {
    CLI::App* command = reg.add_subcommand(c.name);
    command->fallthrough();  // the options may also follow the command's name
    command->preparse_callback([&reg, &strayWord](std::size_t) {
      for (const std::string& argument : reg.remaining())
        if (strayWord.empty() && argument != "--" && !LooksLikeOption(argument)) strayWord = argument;
    });
    for (const char* operand : c.operands) command->add_option(operand);
  }
  if (std::optional<int> status = line.Parse(argc, argv)) return *status;
  std::vector<CLI::App*> chosen = reg.get_subcommands();
  if (!strayWord.empty()) return UsageError("unknown command '" + strayWord + "'");
  if (chosen.empty()) {
    if (!line.Surplus().empty()) return UsageError("unknown command '" + line.Surplus()[0] + "'");
    return line.UsageOnly();
  }
  args.command = chosen[0]->get_name();
  // The operands given ("" is a name too: the default value), then any
  // beyond them, which the command refuses with its own message.
  for (const CLI::Option* operand : chosen[0]->get_options([](const CLI::Option* o) { return o->get_positional(); }))
    if (operand->count() > 0) args.positional.push_back(operand->results().back());
  args.positional.insert(args.positional.end(), line.Surplus().begin(), line.Surplus().end());

  platform::posix::SetSandboxRoot(args.root.empty() ? nullptr : args.root.c_str());
  if (args.command == "export") return Export(args);
  if (args.command == "query") return Query(args);
  if (args.command == "set") return Set(args);
  return Delete(args);
}

}  // namespace kova::cli
