// Shell links in the sandbox: the shell-link file format written directly,
// with the fields the link object of Windows is given: the target as the
// link's local base path, the working directory, the arguments and the icon
// location, all in the ANSI code page. (Windows adds the target's item-ID
// list; readers of the format resolve a link from its base path alone.)
#include <cstring>

#include "core/byte_buffer.h"
#include "format/byte_reader.h"
#include "platform/file_system.h"
#include "platform/shell_link.h"

namespace kova::platform {
namespace {

constexpr u32 kHasLinkInfo = 0x02;
constexpr u32 kHasWorkingDirectory = 0x10;
constexpr u32 kHasArguments = 0x20;
constexpr u32 kHasIconLocation = 0x40;
constexpr u32 kHeaderSize = 0x4C;
constexpr u8 kShellLinkClassId[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr u32 kShowNormal = 1;
constexpr u32 kDriveFixed = 3;

class LinkBytes {
 public:
  void U16(u32 value) {
    u8 bytes[2];
    format::StoreLe16(bytes, static_cast<u16>(value));
    Bytes(bytes, 2);
  }
  void U32(u32 value) {
    u8 bytes[4];
    format::StoreLe32(bytes, value);
    Bytes(bytes, 4);
  }
  void Bytes(const void* data, std::size_t size) { buffer_.Append(static_cast<const u8*>(data), size); }
  void Text(const char* text) { Bytes(text, std::strlen(text) + 1); }
  // A string of the string-data section: a 16-bit count, then the
  // characters without a terminator.
  void CountedText(const char* text) {
    std::size_t length = std::strlen(text);
    U16(static_cast<u32>(length));
    Bytes(text, length);
  }
  const core::ByteBuffer& Buffer() const { return buffer_; }

 private:
  core::ByteBuffer buffer_;
};

}  // namespace

bool SaveShellLink(const char* linkPath, const char* target, const char* arguments, const char* workingDirectory,
                   const char* iconFile) {
  if (!target || !*target) return false;
  const char* icon = iconFile && *iconFile ? iconFile : target;
  bool hasArguments = arguments && *arguments;
  bool hasDirectory = workingDirectory && *workingDirectory;
  u32 flags = kHasLinkInfo | kHasIconLocation | (hasArguments ? kHasArguments : 0) |
              (hasDirectory ? kHasWorkingDirectory : 0);

  LinkBytes link;
  link.U32(kHeaderSize);
  link.Bytes(kShellLinkClassId, sizeof kShellLinkClassId);
  link.U32(flags);
  link.U32(0);  // the target's attributes: unknown
  for (int i = 0; i < 6; ++i) link.U32(0);  // creation, access and write times
  link.U32(0);  // the target's size
  link.U32(0);  // icon index
  link.U32(kShowNormal);
  link.U16(0);  // hot key
  link.U16(0);
  link.U32(0);
  link.U32(0);

  // The link information: a volume (a fixed drive without label) and the
  // target's path.
  constexpr u32 kInfoHeader = 0x1C;
  constexpr u32 kVolumeSize = 0x11;
  u32 targetLength = static_cast<u32>(std::strlen(target)) + 1;
  u32 basePathOffset = kInfoHeader + kVolumeSize;
  u32 suffixOffset = basePathOffset + targetLength;
  link.U32(suffixOffset + 1);  // the whole link information
  link.U32(kInfoHeader);
  link.U32(1);  // VolumeIDAndLocalBasePath
  link.U32(kInfoHeader);
  link.U32(basePathOffset);
  link.U32(0);  // no network location
  link.U32(suffixOffset);
  link.U32(kVolumeSize);
  link.U32(kDriveFixed);
  link.U32(0);     // serial number
  link.U32(0x10);  // the label's offset
  link.Text("");   // the label
  link.Text(target);
  link.Text("");  // the common path suffix

  if (hasDirectory) link.CountedText(workingDirectory);
  if (hasArguments) link.CountedText(arguments);
  link.CountedText(icon);
  link.U32(0);  // the terminal block

  ScopedFile file(OpenFileHandle(linkPath, kAccessWrite, 0, kCreateAlways, kAttributeNormal));
  if (!file) return false;
  u32 done = 0;
  const core::ByteBuffer& bytes = link.Buffer();
  return WriteFileData(file.Get(), bytes.Data(), static_cast<u32>(bytes.Size()), &done) && done == bytes.Size();
}

}  // namespace kova::platform
