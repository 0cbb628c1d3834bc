// REGEDIT4 text; see reg_export.h.
#include "cli/reg_export.h"

#include <cstdio>
#include <vector>

#include "format/byte_reader.h"

namespace kova::cli {
namespace {

constexpr const char* kLineBreak = "\r\n";
// regedit breaks hex data after the comma that passes this column, and
// indents the continuation by two spaces.
constexpr std::size_t kHexLineWidth = 76;

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\r': quoted += "\\r"; break;
      case '\n': quoted += "\\n"; break;
      default: quoted += c; break;
    }
  }
  return quoted + "\"";
}

// A text that survives the quoted form: one NUL, at its end.
bool IsPlainText(const std::string& data) {
  return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

std::string HexData(std::string line, const std::string& data) {
  std::string out;
  char byte[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    bool last = i + 1 == data.size();
    std::snprintf(byte, sizeof byte, last ? "%02x" : "%02x,", static_cast<unsigned char>(data[i]));
    if (line.size() + 2 > kHexLineWidth && line.back() == ',') {
      out += line + "\\" + kLineBreak;
      line = "  ";
    }
    line += byte;
  }
  return out + line;
}

}  // namespace

std::string Regedit4Header() { return std::string("REGEDIT4") + kLineBreak + kLineBreak; }

std::string Regedit4ValueLine(const std::string& name, u32 type, const std::string& data) {
  std::string line = name.empty() ? "@=" : Quoted(name) + "=";
  if (type == platform::kRegSz && IsPlainText(data)) return line + Quoted(data.substr(0, data.size() - 1));
  if (type == platform::kRegDword && data.size() == 4) {
    unsigned value = format::LoadLe32(reinterpret_cast<const u8*>(data.data()));
    char text[20];
    std::snprintf(text, sizeof text, "dword:%08x", value);
    return line + text;
  }
  if (type == platform::kRegBinary) return HexData(line + "hex:", data);
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
  return HexData(line + prefix, data);
}

bool AppendRegedit4Tree(platform::RegistryKey key, const std::string& fullPath, bool isRoot, std::string& out,
                        platform::SystemError* error) {
  std::string section = "[" + fullPath + "]" + kLineBreak;
  core::String name;
  core::String data;
  u32 type = 0;
  u32 index = 0;
  platform::SystemError status;
  while ((status = platform::EnumRegistryValue(key, index, name, type, data)) == platform::kErrorSuccess) {
    section += Regedit4ValueLine(std::string(name.CStr(), static_cast<std::size_t>(name.Length())), type,
                                 std::string(data.CStr(), static_cast<std::size_t>(data.Length())));
    section += kLineBreak;
    ++index;
  }
  if (status != platform::kErrorNoMoreItems) {
    *error = status;
    return false;
  }
  if (!isRoot || index > 0) out += section + kLineBreak;

  std::vector<std::string> children;
  char child[platform::kMaxKeyNameLength + 1];
  for (index = 0; (status = platform::EnumRegistryKey(key, index, child, sizeof child)) == platform::kErrorSuccess;
       ++index)
    children.emplace_back(child);
  if (status != platform::kErrorNoMoreItems) {
    *error = status;
    return false;
  }
  for (const std::string& childName : children) {
    platform::ScopedRegistryKey sub;
    status = platform::OpenRegistryKey(key, childName.c_str(), sub.Out());
    if (status != platform::kErrorSuccess) {
      *error = status;
      return false;
    }
    if (!AppendRegedit4Tree(sub.Get(), fullPath + "\\" + childName, false, out, error)) return false;
  }
  return true;
}

}  // namespace kova::cli
