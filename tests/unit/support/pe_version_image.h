// A small PE32 DLL image whose only content is a version resource, for the
// tests of file versions: the same bytes are read by version.dll under Wine
// and by the POSIX platform's own reader natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/byte_writer.h"

namespace kova::test {

// One node of a VS_VERSIONINFO block: key, value (UTF-16 text or bytes),
// children; Write lays it out with the 4-byte padding the format wants.
struct VersionNode {
  std::string key;
  bool isText = true;
  std::string text;            // with isText
  std::vector<uint8_t> bytes;  // without
  std::vector<VersionNode> children;

  void Write(ByteWriter& out) const {
    size_t start = out.Size();
    out.U16(0);  // wLength, patched below
    out.U16(isText ? (text.empty() ? 0 : static_cast<uint32_t>(text.size() + 1)) : static_cast<uint32_t>(bytes.size()));
    out.U16(isText ? 1 : 0);
    for (char c : key) out.U16(static_cast<uint8_t>(c));
    out.U16(0);
    Pad(out);
    if (isText) {
      if (!text.empty()) {
        for (char c : text) out.U16(static_cast<uint8_t>(c));
        out.U16(0);
      }
    } else {
      out.Raw(bytes.data(), bytes.size());
    }
    for (const VersionNode& child : children) {
      Pad(out);
      child.Write(out);
    }
    size_t length = out.Size() - start;
    out.bytes[start] = static_cast<uint8_t>(length);
    out.bytes[start + 1] = static_cast<uint8_t>(length >> 8);
  }
  static void Pad(ByteWriter& out) {
    while (out.Size() % 4) out.U8(0);
  }
};

// The version block of a file whose FileVersion text is fileVersion, in the
// string table named table ("040904E4": US English, code page 1252).
inline std::vector<uint8_t> VersionBlock(const std::string& fileVersion, const std::string& table = "040904E4") {
  VersionNode fixed{"VS_VERSION_INFO", false, "", {}, {}};
  ByteWriter info;
  info.U32(0xFEEF04BD).U32(0x10000).U32(0x10002).U32(0x30004).U32(0x10002).U32(0x30004);
  info.U32(0x3F).U32(0).U32(0x40004).U32(2).U32(0).U32(0).U32(0);
  fixed.bytes = info.bytes;
  VersionNode strings{"StringFileInfo", true, "", {}, {}};
  VersionNode tableNode{table, true, "", {}, {}};
  tableNode.children.push_back({"CompanyName", true, "Kova Test", {}, {}});
  tableNode.children.push_back({"FileVersion", true, fileVersion, {}, {}});
  tableNode.children.push_back({"ProductName", true, "Fixture", {}, {}});
  strings.children.push_back(tableNode);
  fixed.children.push_back(strings);
  VersionNode vars{"VarFileInfo", true, "", {}, {}};
  vars.children.push_back({"Translation", false, "", {0x09, 0x04, 0xE4, 0x04}, {}});
  fixed.children.push_back(vars);
  ByteWriter out;
  fixed.Write(out);
  return out.bytes;
}

// A PE32 DLL with one section, .rsrc, holding the resource directory
// (type 16, name 1, language 0x409) and the block.
inline std::vector<uint8_t> PeWithVersionBlock(const std::vector<uint8_t>& block) {
  constexpr uint32_t kFileAlignment = 0x200, kSectionAlignment = 0x1000, kRsrcRva = 0x1000;
  // The resource section: three directories of one entry each, the data
  // entry, then the block.
  ByteWriter rsrc;
  auto directory = [&](uint32_t id, uint32_t target) {
    rsrc.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1);
    rsrc.U32(id).U32(target);
  };
  directory(16, 0x80000000u | 24);
  directory(1, 0x80000000u | 48);
  directory(0x409, 72);
  rsrc.U32(kRsrcRva + 88).U32(static_cast<uint32_t>(block.size())).U32(0).U32(0);
  rsrc.Raw(block.data(), block.size());
  uint32_t rsrcSize = static_cast<uint32_t>(rsrc.Size());
  uint32_t rawSize = (rsrcSize + kFileAlignment - 1) / kFileAlignment * kFileAlignment;
  uint32_t imageSize = kRsrcRva + (rsrcSize + kSectionAlignment - 1) / kSectionAlignment * kSectionAlignment;

  ByteWriter pe;
  pe.U16('M' | 'Z' << 8).Fill(0, 0x3A).U32(0x40);
  pe.Raw("PE\0\0", 4).U16(0x14C).U16(1).U32(0).U32(0).U32(0).U16(0xE0).U16(0x2102);
  // Optional header (PE32).
  pe.U16(0x10B).U8(6).U8(0).U32(0).U32(rawSize).U32(0).U32(0).U32(kRsrcRva).U32(kRsrcRva);
  pe.U32(0x10000000).U32(kSectionAlignment).U32(kFileAlignment);
  pe.U16(4).U16(0).U16(0).U16(0).U16(4).U16(0).U32(0);
  pe.U32(imageSize).U32(kFileAlignment).U32(0).U16(2).U16(0);
  pe.U32(0x100000).U32(0x1000).U32(0x100000).U32(0x1000).U32(0).U32(16);
  for (int i = 0; i < 16; ++i) {
    if (i == 2) pe.U32(kRsrcRva).U32(rsrcSize);
    else pe.U32(0).U32(0);
  }
  pe.Raw(".rsrc\0\0\0", 8).U32(rsrcSize).U32(kRsrcRva).U32(rawSize).U32(kFileAlignment);
  pe.U32(0).U32(0).U16(0).U16(0).U32(0x40000040);
  pe.Fill(0, kFileAlignment - pe.Size());
  pe.Raw(rsrc.Data(), rsrc.Size());
  pe.Fill(0, kFileAlignment + rawSize - pe.Size());
  return pe.bytes;
}

}  // namespace kova::test
