// Version resources of PE files read without the system's help: the POSIX
// side of platform/file_version.h. The file's headers and resource tree are
// read with the PE walker of format/ (pe_image.h, pe_resources.h), fetching
// only the headers, the resource section and the block, down RT_VERSION to
// the VS_VERSIONINFO block; the block's tree of nodes is searched the way
// VerQueryValueA does. Everything comes from an untrusted file, so every
// offset and length is checked against the bytes read before it is used;
// anything that does not hold together means "no version".
#pragma once

#include "core/byte_buffer.h"
#include "core/string.h"

namespace kova::platform::posix {

// Random access to the bytes of an image: read fills buffer with the size
// bytes at offset and is false unless they are all there. (A function and
// its context rather than a class: the tests, built with RTTI, share these
// declarations with the engine, built without.)
struct ImageBytes {
  bool (*read)(void* context, u64 offset, void* buffer, u32 size);
  void* context;
  bool Read(u64 offset, void* buffer, u32 size) const { return read(context, offset, buffer, size); }
};

// An image held in memory.
struct MemoryImage {
  const u8* data;
  std::size_t size;
};
bool ReadMemoryImage(void* memoryImage, u64 offset, void* buffer, u32 size);
inline ImageBytes BytesOf(MemoryImage& image) { return ImageBytes{ReadMemoryImage, &image}; }

// The raw bytes of the image's version resource (type 16, name 1 or else
// the first, language neutral, US English or else the first). False when
// the image is no PE file or has no such resource.
bool ReadVersionResource(const ImageBytes& image, core::ByteBuffer& resource);

// The text of the node that subBlock names in a 32-bit (UTF-16) version
// block: keys separated by backslashes, compared without regard to ASCII
// case, starting below the root node. Characters outside Latin-1 become
// '?'. Empty when a key is missing, the node holds no text, or the block is
// damaged.
core::String VersionBlockText(const u8* block, std::size_t size, const char* subBlock);

}  // namespace kova::platform::posix
