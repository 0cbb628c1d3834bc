// Opening the installation archive; see archive_open.h.
#include "format/archive_open.h"

#include <cstring>

#include "format/checksum.h"
#include "format/corrupt_codes.h"
#include "format/decompress.h"
#include "format/script_reader.h"

namespace kova::format {

const u8* MemorySource::View(i64 position, i64 n) {
  return position >= 0 && n >= 0 && n <= size_ - position ? data_ + position : nullptr;
}

bool MemorySource::ReadAt(i64 position, u8* buffer, i64 n) {
  if (position < 0 || n < 0 || position > size_ || n > size_ - position) return false;
  if (n > 0) std::memcpy(buffer, data_ + position, static_cast<std::size_t>(n));
  return true;
}

namespace {

// The largest decompressed script accepted. The block's declared size is
// untrusted and one token can expand to gigabytes, so the size is capped
// before the output is reserved: 256 MiB is far beyond any real script (10,000
// messages in 255 languages of 100 characters each would just fit), and a
// damaged block gets its corrupt code rather than an out-of-memory box.
constexpr std::size_t kMaxDecompressedScript = 0x10000000;

// Reads up to want bytes at position into buffer (fewer when the file ends).
bool ReadUpTo(ByteSource& file, i64 position, i64 want, core::ByteBuffer& buffer) {
  i64 size = file.Size();
  if (size < 0 || position < 0 || position > size) return false;
  i64 n = want < size - position ? want : size - position;
  buffer.Resize(static_cast<std::size_t>(n));
  return file.ReadAt(position, buffer.Data(), n);
}

}  // namespace

i32 OpenArchive(ByteSource& file, OpenedArchive& archive) {
  core::ByteBuffer head;
  if (!ReadUpTo(file, 0, kPeHeadBytes, head)) return kCorruptPeOffset;
  i32 code = LocateArchive(head.Data(), head.Size(), archive.layout);
  if (code != 0) return code;
  archive.sectionStart = archive.layout.rawPointer;
  i64 size = file.Size();
  if (archive.sectionStart >= size) return kCorruptSectionSeek;

  // The header's fixed part, then the size table once its count is known
  // (and checked against the bytes present).
  i64 available = size - archive.sectionStart;
  core::ByteBuffer fixed;
  if (!ReadUpTo(file, archive.sectionStart, 36, fixed)) return kCorruptSectionSeek;
  code = ReadArchiveHeader(fixed.Data(), fixed.Size(), archive.header);
  if (code != 0 && code != kCorruptFileSizeEntry) return code;
  i64 headerBytes = 36 + 4 * static_cast<i64>(archive.header.fileCount);
  if (headerBytes > available) return kCorruptFileSizeEntry;
  core::ByteBuffer header;
  if (!ReadUpTo(file, archive.sectionStart, headerBytes, header)) return kCorruptFileSizeEntry;
  archive.header = ArchiveHeader();
  code = ReadArchiveHeader(header.Data(), header.Size(), archive.header);
  if (code != 0) return code;

  // The script block: a damaged size or a file cut short cannot hold it.
  i64 scriptAt = archive.sectionStart + archive.header.ScriptOffset();
  if (archive.header.scriptSize > size - scriptAt) return kCorruptScriptDecode;
  archive.script.Resize(static_cast<std::size_t>(archive.header.scriptSize));
  if (!file.ReadAt(scriptAt, archive.script.Data(), archive.header.scriptSize)) return kCorruptScriptDecode;
  Descramble(archive.script.Data(), archive.header.scriptSize, archive.header.scriptKey);
  if (!Decompress(archive.script, kMaxDecompressedScript)) return kCorruptScriptDecode;
  return 0;
}

i32 VerifyScript(const OpenedArchive& archive) {
  u32 sum = Checksum32(archive.script.Data(), static_cast<i64>(archive.script.Size()));
  return sum == archive.header.scriptKey ? 0 : kCorruptScriptChecksum;
}

i32 BuildUninstaller(ByteSource& file, const OpenedArchive& archive, const InstallScript& script,
                     core::ByteBuffer& image) {
  const PeLayout& layout = archive.layout;
  i64 size = file.Size();
  if (size < 0 || layout.rawPointer > size) return kCorruptStubRead;
  image.Resize(layout.rawPointer);
  if (!file.ReadAt(0, image.Data(), layout.rawPointer)) return kCorruptStubRead;
  if (Checksum32(image.Data(), layout.rawPointer) != archive.header.stubChecksum) return kCorruptStubChecksum;

  i64 tailAt = static_cast<i64>(layout.rawPointer) + layout.rawSize;
  i64 tailSize = size - tailAt;
  core::ByteBuffer tail;
  if (tailSize > 0) {
    tail.Resize(static_cast<std::size_t>(tailSize));
    if (!file.ReadAt(tailAt, tail.Data(), tailSize)) return kCorruptTailRead;
  }
  // Headers that do not fit the bytes before the section: the stub part
  // cannot be what the checksum vouched for.
  if (!BuildUninstallerImage(layout, image, tail.Data(), tail.Size())) return kCorruptStubRead;
  if (script.iconPatchOffset > 0 && script.iconPatch.Size() == static_cast<std::size_t>(kIconPatchBytes))
    ApplyIconPatch(image, script.iconPatchOffset, script.iconPatch.Data());
  return 0;
}

i32 OpenAndReadArchive(ByteSource& file, OpenedArchive& archive, InstallScript& script, core::ByteBuffer& image) {
  i32 code = OpenArchive(file, archive);
  if (code != 0) return code;
  if ((code = VerifyScript(archive)) != 0) return code;
  if (archive.script.Size() > 0x7FFFFFFF) return kCorruptScriptDecode;
  code = ReadInstallScript(archive.script.Data(), static_cast<i32>(archive.script.Size()), script);
  if (code != 0) return code;
  return BuildUninstaller(file, archive, script, image);
}

}  // namespace kova::format
