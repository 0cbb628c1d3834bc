// Small PE files and resource trees for the tests of the PE walker: the
// headers of a PE32 or PE32+ file with the sections asked for, and a writer
// for resource directories whose entries may point anywhere (loops included).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "format/byte_writer.h"

namespace kova::test {

struct TestSection {
  std::string name;  // up to 8 bytes, NULs included
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawPointer = 0;
  uint32_t rawSize = 0;
  uint32_t characteristics = 0x40000040;
};

struct TestPe {
  uint32_t peOffset = 0x80;
  bool pe32Plus = false;
  uint32_t directoryCount = 16;
  uint32_t resourceRva = 0;
  uint32_t resourceSize = 0;
  std::vector<TestSection> sections;
  uint32_t fileSize = 0x400;  // the bytes after the headers are zeros

  // Where the parts land.
  uint32_t OptionalHeaderSize() const { return (pe32Plus ? 112 : 96) + 16 * 8; }
  uint32_t OptionalHeader() const { return peOffset + 24; }
  uint32_t SectionTable() const { return OptionalHeader() + OptionalHeaderSize(); }

  std::vector<uint8_t> Bytes() const {
    ByteWriter w;
    w.U16('M' | 'Z' << 8).Fill(0, 58).U32(peOffset).Fill(0, peOffset - 64);
    w.U32(0x4550).U16(pe32Plus ? 0x8664 : 0x14C).U16(static_cast<uint32_t>(sections.size()));
    w.U32(0).U32(0).U32(0).U16(OptionalHeaderSize()).U16(0x102);
    size_t optional = w.Size();
    w.Fill(0, OptionalHeaderSize());
    w.bytes[optional] = 0x0B;  // magic 0x10B or 0x20B
    w.bytes[optional + 1] = pe32Plus ? 0x02 : 0x01;
    w.PutU32(optional + 8, 0x3000);    // SizeOfInitializedData
    w.PutU32(optional + 32, 0x1000);   // SectionAlignment
    w.PutU32(optional + 36, 0x200);    // FileAlignment
    w.PutU32(optional + 56, 0x9000);   // SizeOfImage
    w.PutU32(optional + 60, 0x400);    // SizeOfHeaders
    size_t directories = optional + (pe32Plus ? 112 : 96);
    w.PutU32(directories - 4, directoryCount);
    w.PutU32(directories + 2 * 8, resourceRva);
    w.PutU32(directories + 2 * 8 + 4, resourceSize);
    for (const TestSection& s : sections) {
      char name[8] = {};
      std::memcpy(name, s.name.data(), s.name.size() < 8 ? s.name.size() : 8);
      w.Raw(name, 8).U32(s.virtualSize).U32(s.virtualAddress).U32(s.rawSize).U32(s.rawPointer);
      w.Fill(0, 12).U32(s.characteristics);
    }
    if (w.Size() < fileSize) w.Fill(0, fileSize - w.Size());
    return w.bytes;
  }
};

// Resource directories written at chosen offsets of a section's bytes.
// Entries hold the raw name and target words, so a test can point them
// anywhere, back up the tree included.
struct ResourceWriter {
  std::vector<uint8_t> bytes;

  static constexpr uint32_t kDirectory = 0x80000000u;

  struct Entry {
    uint32_t name;
    uint32_t target;
  };

  // A directory at offset with namedCount named entries first.
  ResourceWriter& Directory(uint32_t offset, const std::vector<Entry>& entries, uint32_t namedCount = 0) {
    Grow(offset + 16 + 8 * entries.size());
    Put16(offset + 12, namedCount);
    Put16(offset + 14, static_cast<uint32_t>(entries.size()) - namedCount);
    for (size_t i = 0; i < entries.size(); ++i) {
      Put32(offset + 16 + 8 * static_cast<uint32_t>(i), entries[i].name);
      Put32(offset + 20 + 8 * static_cast<uint32_t>(i), entries[i].target);
    }
    return *this;
  }
  ResourceWriter& Data(uint32_t offset, uint32_t rva, uint32_t size) {
    Grow(offset + 16);
    Put32(offset, rva);
    Put32(offset + 4, size);
    return *this;
  }

  void Grow(size_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
  }
  void Put16(uint32_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void Put32(uint32_t at, uint32_t v) {
    Put16(at, v & 0xFFFF);
    Put16(at + 2, v >> 16);
  }
};

}  // namespace kova::test
