// Version resources of PE files; see pe_version.h.
#include "platform/posix/pe_version.h"

#include <cstring>

#include "format/byte_reader.h"
#include "format/pe_image.h"
#include "format/pe_resources.h"

namespace kova::platform::posix {
namespace {

using format::LoadLe16;

constexpr u32 kVersionName = 1;
constexpr u32 kLanguageNeutral = 0;
constexpr u32 kLanguageUsEnglish = 0x409;
constexpr u32 kMaxSections = 96;
// A resource section larger than this is not searched: the directory of a
// real file is a few kilobytes, and the data of a version block fits the 16
// bits of its length field.
constexpr u32 kMaxResourceBytes = 16u << 20;
constexpr u32 kMaxVersionBytes = 0xFFFF;

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
  std::size_t length = LoadLe16(block + at);
  if (length < 6 || length > limit - at) return false;
  node->start = at;
  node->end = at + length;
  node->isText = LoadLe16(block + at + 4) == 1;
  std::size_t valueLength = LoadLe16(block + at + 2);
  node->key = at + 6;
  std::size_t p = node->key;
  while (p + 2 <= node->end && LoadLe16(block + p) != 0) p += 2;
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

char AsciiLower(u32 c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c); }

bool KeyEquals(const u8* block, const VersionNode& node, const char* key, std::size_t keyLength) {
  if ((node.keyEnd - node.key) / 2 != keyLength) return false;
  for (std::size_t i = 0; i < keyLength; ++i) {
    u32 c = LoadLe16(block + node.key + 2 * i);
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
  u8 dos[format::kDosHeaderBytes];
  u32 pe = 0;
  if (!image.Read(0, dos, sizeof dos) || !format::ReadPeOffset(dos, sizeof dos, pe)) return false;
  // The file header first, to know how much more the headers take.
  u8 fileHeader[format::kPeFileHeaderBytes];
  format::PeHeaders headers;
  if (!image.Read(pe, fileHeader, sizeof fileHeader) ||
      format::ReadPeHeaders(fileHeader, sizeof fileHeader, headers) == format::PeError::kNoSignature) {
    return false;
  }
  if (headers.sectionCount == 0 || headers.sectionCount > kMaxSections) return false;
  core::ByteBuffer headerBytes;
  headerBytes.Resize(format::PeHeadersSize(fileHeader));
  if (!image.Read(pe, headerBytes.Data(), static_cast<u32>(headerBytes.Size()))) return false;
  if (format::ReadPeHeaders(headerBytes.Data(), headerBytes.Size(), headers) != format::PeError::kNone) return false;
  u32 resourceRva = 0;
  u32 resourceSize = 0;
  if (!headers.DataDirectory(format::kDataDirectoryResources, resourceRva, resourceSize)) return false;
  if (resourceRva == 0 || resourceSize == 0) return false;

  u64 offset = 0;
  u32 available = 0;
  if (!headers.sections.MapRva(resourceRva, 1, offset, available)) return false;
  u32 size = resourceSize < available ? resourceSize : available;
  if (size > kMaxResourceBytes) size = kMaxResourceBytes;
  core::ByteBuffer bytes;
  bytes.Resize(size);
  if (!image.Read(offset, bytes.Data(), size)) return false;

  // Three levels: type, name, language; then the data entry. Each level must
  // point to the kind of thing the next one expects, so a loop in the
  // offsets cannot make the walk go on.
  format::PeResourceTree tree(bytes.Data(), bytes.Size());
  format::PeResourceEntry entry;
  if (!tree.FindId(0, format::kResourceTypeVersion, entry) || !entry.isDirectory) return false;
  const u32 names[] = {kVersionName};
  if (!tree.FindFirstOf(entry.target, names, 1, entry) || !entry.isDirectory) return false;
  const u32 languages[] = {kLanguageNeutral, kLanguageUsEnglish};
  if (!tree.FindFirstOf(entry.target, languages, 2, entry) || entry.isDirectory) return false;
  format::PeResourceData data;
  if (!tree.DataAt(entry.target, data)) return false;
  if (data.size == 0 || !headers.sections.MapRva(data.rva, 1, offset, available) || data.size > available)
    return false;
  u32 dataSize = data.size > kMaxVersionBytes ? kMaxVersionBytes : data.size;
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
    u32 c = LoadLe16(block + at);
    if (c == 0) break;
    text.Append(c < 0x100 ? static_cast<char>(c) : '?');
  }
  return text;
}

}  // namespace kova::platform::posix
