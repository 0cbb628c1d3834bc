// Fuzz target: the PE walker over arbitrary bytes. The input is read as a
// PE file by each reader of PE files: the stub's search for its archive
// section, the headers and section table with the RVA of every data
// directory mapped, the resource tree under the resource directory (every
// data entry of the icon and version types mapped), the sandbox's version
// resource and its VS_VERSIONINFO tree, and the builder's reading of a stub
// with the section appended. The same bytes are also walked as a resource
// tree and as a version block by themselves, so the fuzzer reaches deep
// trees without first building headers around them.
//
// Seeds in corpus/pe_image: the unit tests' version DLL (PE32, a version
// resource), the host tests' synthetic stub in PE32 and PE32+ (an icon
// resource), and a head of five sections whose last is `.kova`.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "builder/pe_file.h"
#include "core/byte_buffer.h"
#include "format/archive.h"
#include "format/pe_image.h"
#include "format/pe_resources.h"
#include "platform/posix/pe_version.h"

namespace {

using namespace kova;

constexpr const char* kFileVersionKey = "\\StringFileInfo\\040904E4\\FileVersion";

// Maps each data entry through the sections, as the builder and the
// sandbox do with what the walk finds.
bool MapData(void* sections, const format::PeResourceData& data) {
  u64 offset = 0;
  u32 available = 0;
  static_cast<format::PeSectionTable*>(sections)->MapRva(data.rva, data.size, offset, available);
  return true;
}

bool CountData(void* count, const format::PeResourceData&) {
  ++*static_cast<u32*>(count);
  return true;
}

// Every type's data, then the sandbox's path to the version resource: type,
// name or the first, language or the first.
void WalkTree(const format::PeResourceTree& tree) {
  u32 count = 0;
  for (u32 type : {format::kResourceTypeIcon, format::kResourceTypeVersion, 24u})
    tree.ForEachData(type, CountData, &count);
  format::PeResourceEntry entry;
  if (!tree.FindId(0, format::kResourceTypeVersion, entry) || !entry.isDirectory) return;
  const u32 names[] = {1};
  if (!tree.FindFirstOf(entry.target, names, 1, entry) || !entry.isDirectory) return;
  const u32 languages[] = {0, 0x409};
  if (!tree.FindFirstOf(entry.target, languages, 2, entry)) return;
  format::PeResourceData data;
  tree.DataAt(entry.target, data);
}

// The headers, every data directory mapped, and the resource tree below the
// resource directory with its icon and version data mapped.
void WalkHeaders(const uint8_t* data, size_t size) {
  u32 pe = 0;
  if (!format::ReadPeOffset(data, size, pe) || pe > size) return;
  format::PeHeaders headers;
  format::PeError error = format::ReadPeHeaders(data + pe, size - pe, headers);
  format::PeSectionTable sections = headers.sections;
  for (u32 i = 0; i < sections.PresentCount(); ++i) sections.At(i);
  sections.Find(format::kArchiveSectionName);
  if (error != format::PeError::kNone) return;
  u32 rva = 0, directorySize = 0;
  u64 offset = 0;
  u32 available = 0;
  for (u32 i = 0; i < headers.dataDirectoryCount; ++i) {
    if (headers.DataDirectory(i, rva, directorySize)) sections.MapRva(rva, directorySize, offset, available);
  }
  if (!headers.DataDirectory(format::kDataDirectoryResources, rva, directorySize) ||
      !sections.MapRva(rva, 1, offset, available) || offset >= size) {
    return;
  }
  size_t treeSize = directorySize < available ? directorySize : available;
  if (treeSize > size - offset) treeSize = size - static_cast<size_t>(offset);
  format::PeResourceTree tree(data + offset, treeSize);
  tree.ForEachData(format::kResourceTypeIcon, MapData, &sections);
  tree.ForEachData(format::kResourceTypeVersion, MapData, &sections);
  WalkTree(tree);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The stub's walk to its archive section, and the uninstaller image's
  // header edits when it finds one.
  format::PeLayout layout;
  if (format::LocateArchive(data, size, layout) == 0 && layout.rawPointer <= size) {
    core::ByteBuffer image(data, layout.rawPointer);
    format::BuildUninstallerImage(layout, image, nullptr, 0);
  }

  WalkHeaders(data, size);
  WalkTree(format::PeResourceTree(data, size));

  platform::posix::MemoryImage memory{data, size};
  core::ByteBuffer resource;
  if (platform::posix::ReadVersionResource(platform::posix::BytesOf(memory), resource))
    platform::posix::VersionBlockText(resource.Data(), resource.Size(), kFileVersionKey);
  platform::posix::VersionBlockText(data, size, kFileVersionKey);

  // The builder's view: headers, icons, and the archive section appended.
  std::vector<u8> file(data, data + size);
  builder::PeImage pe;
  std::string error;
  if (builder::ParsePe(file, pe, error)) {
    std::vector<builder::IconImage> icons;
    builder::FindIconImages(file, pe, icons, error);
    const u8 contents[] = {1, 2, 3, 4};
    builder::AppendedSection placed;
    builder::AppendSection(file, format::kArchiveSectionName, contents, builder::kSectionRead, placed, error);
  }
  return 0;
}
