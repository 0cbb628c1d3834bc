// Version resources of PE files; see pe_version.h.
#include "platform/posix/pe_version.h"

#include <cstring>

#include "core/array.h"

namespace kova::platform::posix {
namespace {

constexpr u32 kResourceTypeVersion = 16;
constexpr u32 kVersionName = 1;
constexpr u32 kLanguageNeutral = 0;
constexpr u32 kLanguageUsEnglish = 0x409;
constexpr u32 kSubdirectoryBit = 0x80000000u;
constexpr u32 kMaxSections = 96;
// A resource section larger than this is not searched: the directory of a
// real file is a few kilobytes, and the data of a version block fits the 16
// bits of its length field.
constexpr u32 kMaxResourceBytes = 16u << 20;
constexpr u32 kMaxVersionBytes = 0xFFFF;

u16 Le16(const u8* p) { return static_cast<u16>(p[0] | p[1] << 8); }
u32 Le32(const u8* p) {
  return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16 |
         static_cast<u32>(p[3]) << 24;
}

struct Section {
  u32 virtualAddress;
  u32 virtualSize;
  u32 rawSize;
  u32 rawPointer;
};

// Where an RVA lies in the file and how many of its section's bytes follow
// it there.
bool RvaToOffset(const core::Array<Section>& sections, u32 rva, u64* offset, u32* available) {
  for (const Section& section : sections) {
    if (rva < section.virtualAddress) continue;
    u32 into = rva - section.virtualAddress;
    if (into >= section.rawSize) continue;
    *offset = static_cast<u64>(section.rawPointer) + into;
    *available = section.rawSize - into;
    return true;
  }
  return false;
}

// The resource directory, read whole, as offsets from its start.
class ResourceDirectory {
 public:
  explicit ResourceDirectory(const core::ByteBuffer& bytes) : bytes_(bytes) {}

  // The entry of the directory at offset whose ID is wanted (any ID when
  // wanted is kAnyId): its OffsetToData. False when there is none.
  static constexpr u32 kAnyId = 0xFFFFFFFFu;
  bool FindEntry(u32 directory, u32 wanted, u32* data) const {
    if (!Has(directory, 16)) return false;
    const u8* head = bytes_.Data() + directory;
    u32 count = static_cast<u32>(Le16(head + 12)) + Le16(head + 14);
    for (u32 i = 0; i < count; ++i) {
      u64 at = static_cast<u64>(directory) + 16 + 8 * static_cast<u64>(i);
      if (!Has(at, 8)) return false;
      u32 name = Le32(bytes_.Data() + at);
      if (name & kSubdirectoryBit) continue;  // a named entry
      if (wanted == kAnyId || name == wanted) {
        *data = Le32(bytes_.Data() + at + 4);
        return true;
      }
    }
    return false;
  }
  bool FirstOf(u32 directory, const u32* ids, int count, u32* data) const {
    for (int i = 0; i < count; ++i)
      if (FindEntry(directory, ids[i], data)) return true;
    return FindEntry(directory, kAnyId, data);
  }
  bool Has(u64 at, u64 size) const { return at <= bytes_.Size() && size <= bytes_.Size() - at; }
  const u8* At(u32 offset) const { return bytes_.Data() + offset; }

 private:
  const core::ByteBuffer& bytes_;
};

bool IsSubdirectory(u32 data) { return (data & kSubdirectoryBit) != 0; }

// One node of a version block: wLength, wValueLength, wType, the key in
// UTF-16 with its NUL, padding to 4 bytes, the value, padding, children.
// Offsets are from the block's start, which is 4-byte aligned.
struct VersionNode {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t key = 0;
  std::size_t keyEnd = 0;  // the key's NUL
  std::size_t value = 0;
  std::size_t valueEnd = 0;
  std::size_t children = 0;
  bool isText = false;
};

std::size_t Align4(std::size_t at) { return (at + 3) & ~static_cast<std::size_t>(3); }

bool ParseNode(const u8* block, std::size_t at, std::size_t limit, VersionNode* node) {
  if (at > limit || limit - at < 6) return false;
  std::size_t length = Le16(block + at);
  if (length < 6 || length > limit - at) return false;
  node->start = at;
  node->end = at + length;
  node->isText = Le16(block + at + 4) == 1;
  std::size_t valueLength = Le16(block + at + 2);
  node->key = at + 6;
  std::size_t p = node->key;
  while (p + 2 <= node->end && Le16(block + p) != 0) p += 2;
  if (p + 2 > node->end) return false;  // no NUL inside the node
  node->keyEnd = p;
  node->value = Align4(p + 2);
  if (node->value > node->end) node->value = node->end;
  // Text values count UTF-16 characters, others bytes.
  std::size_t valueBytes = node->isText ? 2 * valueLength : valueLength;
  node->valueEnd = valueBytes > node->end - node->value ? node->end : node->value + valueBytes;
  node->children = Align4(node->valueEnd);
  return true;
}

char AsciiLower(u16 c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c); }

bool KeyEquals(const u8* block, const VersionNode& node, const char* key, std::size_t keyLength) {
  if ((node.keyEnd - node.key) / 2 != keyLength) return false;
  for (std::size_t i = 0; i < keyLength; ++i) {
    u16 c = Le16(block + node.key + 2 * i);
    if (c > 0x7F || AsciiLower(c) != AsciiLower(static_cast<u8>(key[i]))) return false;
  }
  return true;
}

bool FindChild(const u8* block, const VersionNode& parent, const char* key, std::size_t keyLength,
               VersionNode* child) {
  std::size_t at = parent.children;
  while (at < parent.end) {
    if (!ParseNode(block, at, parent.end, child)) return false;
    if (KeyEquals(block, *child, key, keyLength)) return true;
    at = Align4(child->end);
  }
  return false;
}

}  // namespace

bool ReadMemoryImage(void* memoryImage, u64 offset, void* buffer, u32 size) {
  const MemoryImage& image = *static_cast<const MemoryImage*>(memoryImage);
  if (offset > image.size || size > image.size - offset) return false;
  if (size > 0) std::memcpy(buffer, image.data + offset, size);
  return true;
}

bool ReadVersionResource(const ImageBytes& image, core::ByteBuffer& resource) {
  u8 dos[64];
  if (!image.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  u64 pe = Le32(dos + 0x3C);
  u8 fileHeader[24];
  if (!image.Read(pe, fileHeader, sizeof fileHeader) || std::memcmp(fileHeader, "PE\0\0", 4) != 0) return false;
  u32 sectionCount = Le16(fileHeader + 6);
  u32 optionalSize = Le16(fileHeader + 20);
  if (sectionCount == 0 || sectionCount > kMaxSections) return false;

  core::ByteBuffer optional;
  optional.Resize(optionalSize);
  if (optionalSize < 2 || !image.Read(pe + 24, optional.Data(), optionalSize)) return false;
  // PE32 and PE32+ differ in where the data directories start.
  u16 magic = Le16(optional.Data());
  std::size_t countAt = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
  if (countAt == 0 || countAt + 4 > optionalSize) return false;
  u32 directoryCount = Le32(optional.Data() + countAt);
  std::size_t resourceAt = countAt + 4 + 2 * 8;
  if (directoryCount < 3 || resourceAt + 8 > optionalSize) return false;
  u32 resourceRva = Le32(optional.Data() + resourceAt);
  u32 resourceSize = Le32(optional.Data() + resourceAt + 4);
  if (resourceRva == 0 || resourceSize == 0) return false;

  core::ByteBuffer table;
  table.Resize(static_cast<std::size_t>(sectionCount) * 40);
  if (!image.Read(pe + 24 + optionalSize, table.Data(), static_cast<u32>(table.Size()))) return false;
  core::Array<Section> sections;
  for (u32 i = 0; i < sectionCount; ++i) {
    const u8* header = table.Data() + 40 * i;
    sections.Append(Section{Le32(header + 12), Le32(header + 8), Le32(header + 16), Le32(header + 20)});
  }

  u64 offset = 0;
  u32 available = 0;
  if (!RvaToOffset(sections, resourceRva, &offset, &available)) return false;
  u32 size = resourceSize < available ? resourceSize : available;
  if (size > kMaxResourceBytes) size = kMaxResourceBytes;
  core::ByteBuffer bytes;
  bytes.Resize(size);
  if (!image.Read(offset, bytes.Data(), size)) return false;

  // Three levels: type, name, language; then the data entry. Each level must
  // point to the kind of thing the next one expects, so a loop in the
  // offsets cannot make the walk go on.
  ResourceDirectory directory(bytes);
  u32 entry = 0;
  if (!directory.FindEntry(0, kResourceTypeVersion, &entry) || !IsSubdirectory(entry)) return false;
  const u32 names[] = {kVersionName};
  if (!directory.FirstOf(entry & ~kSubdirectoryBit, names, 1, &entry) || !IsSubdirectory(entry)) return false;
  const u32 languages[] = {kLanguageNeutral, kLanguageUsEnglish};
  if (!directory.FirstOf(entry & ~kSubdirectoryBit, languages, 2, &entry) || IsSubdirectory(entry)) return false;
  if (!directory.Has(entry, 16)) return false;
  u32 dataRva = Le32(directory.At(entry));
  u32 dataSize = Le32(directory.At(entry) + 4);
  if (dataSize == 0 || !RvaToOffset(sections, dataRva, &offset, &available) || dataSize > available) return false;
  if (dataSize > kMaxVersionBytes) dataSize = kMaxVersionBytes;
  resource.Resize(dataSize);
  return image.Read(offset, resource.Data(), dataSize);
}

core::String VersionBlockText(const u8* block, std::size_t size, const char* subBlock) {
  VersionNode node;
  if (!block || !subBlock || !ParseNode(block, 0, size, &node)) return core::String();
  const char* p = subBlock;
  while (*p) {
    while (*p == '\\') ++p;
    const char* key = p;
    while (*p && *p != '\\') ++p;
    auto keyLength = static_cast<std::size_t>(p - key);
    if (keyLength == 0) break;
    VersionNode child;
    if (!FindChild(block, node, key, keyLength, &child)) return core::String();
    node = child;
  }
  if (!node.isText) return core::String();
  core::String text;
  for (std::size_t at = node.value; at + 2 <= node.valueEnd; at += 2) {
    u16 c = Le16(block + at);
    if (c == 0) break;
    text.Append(c < 0x100 ? static_cast<char>(c) : '?');
  }
  return text;
}

}  // namespace kova::platform::posix
