// Reading the install script; see script_reader.h.
//
// Counts read from the script (association records, messages, the bitmap
// size) come from untrusted bytes. Reading past the end yields zeros and empty
// texts, which consume nothing, so a count larger than the bytes left can
// never lead to a good script: the reader would run off the end, read a
// language count of 0 (corrupt 30) or a wrong end marker (corrupt 32). Those
// outcomes are decided up front, before anything is allocated or looped over.
#include "format/script_reader.h"

#include <cstring>

#include "format/byte_reader.h"
#include "format/corrupt_codes.h"

namespace kova::format {
namespace {

// The smallest association record: flags and seven empty texts.
constexpr i32 kMinAssociationBytes = 4 + 7;

void ReadStamp(ScriptReader& reader, format::FileStamp& stamp) {
  stamp.year = reader.ReadI32();
  stamp.month = reader.ReadI32();
  stamp.day = reader.ReadI32();
  stamp.hour = reader.ReadI32();
  stamp.minute = reader.ReadI32();
  stamp.second = reader.ReadI32();
}

// Items 10 and 11: a count, then that many texts whose positions are kept.
bool ReadPages(ScriptReader& reader, core::Array<i32>& pages) {
  i32 count = reader.ReadI32();
  if (count < 0 || count > kMaxPages) return false;
  for (i32 i = 0; i < count; ++i) {
    pages.Append(reader.Position());
    reader.SkipText();
  }
  return true;
}

void ReadAssociation(ScriptReader& reader, AssociationRecord& record) {
  record.flags = reader.ReadU32();
  reader.ReadText(record.extension);
  reader.ReadText(record.fileType);
  reader.ReadText(record.description);
  reader.ReadText(record.verb);
  reader.ReadText(record.verbText);
  reader.ReadText(record.command);
  reader.ReadText(record.language);
}

}  // namespace

bool ScriptReader::ReadBytes(void* destination, i32 n) {
  if (n == 0) return true;
  if (!destination || n < 0) return false;
  i32 available = Remaining();
  i32 copied = n < available ? n : available;
  if (copied > 0) std::memcpy(destination, data_ + position_, static_cast<std::size_t>(copied));
  if (copied < n) std::memset(static_cast<u8*>(destination) + copied, 0, static_cast<std::size_t>(n - copied));
  // Past the end the position only needs to stay past it; saturate rather
  // than overflow.
  position_ = n > 0x7FFFFFFF - position_ ? 0x7FFFFFFF : position_ + n;
  return copied == n;
}

u32 ScriptReader::ReadU32() {
  u8 bytes[4];
  ReadBytes(bytes, 4);
  return LoadLe32(bytes);
}

u8 ScriptReader::ReadByte() {
  u8 byte = 0;
  ReadBytes(&byte, 1);
  return byte;
}

bool ScriptReader::ReadText(core::String& destination) {
  if (position_ < 0 || position_ >= length_) {
    destination.Clear();
    return false;
  }
  const u8* start = data_ + position_;
  const void* nul = std::memchr(start, 0, static_cast<std::size_t>(length_ - position_));
  i32 n = nul ? static_cast<i32>(static_cast<const u8*>(nul) - start) : length_ - position_;
  destination.Assign(reinterpret_cast<const char*>(start), n);
  position_ += n;
  if (!nul) return false;
  ++position_;
  return true;
}

bool ScriptReader::SkipText() {
  if (position_ >= length_) return false;
  const void* nul = std::memchr(data_ + position_, 0, static_cast<std::size_t>(length_ - position_));
  if (!nul) {
    position_ = length_;
    return false;
  }
  position_ = static_cast<i32>(static_cast<const u8*>(nul) - data_) + 1;
  return true;
}

u32 ReadProductFlags(ScriptReader& reader) { return reader.ReadU32(); }

i32 ReadScriptItems(ScriptReader& reader, InstallScript& script) {
  ReadStamp(reader, script.uninstallerStamp);
  reader.ReadText(script.publisher);
  reader.ReadText(script.productName);
  reader.ReadText(script.sharedDir);
  reader.ReadText(script.productStartMenu);
  reader.ReadText(script.defaultDirText);
  reader.ReadText(script.versionText);
  reader.ReadText(script.productRegistry);
  if (!ReadPages(reader, script.licensePages)) return kCorruptLicenseCount;
  if (!ReadPages(reader, script.readmePages)) return kCorruptReadmeCount;
  reader.ReadText(script.uninstallSubdir);
  reader.ReadText(script.displayName);
  reader.ReadText(script.volumeBaseName);
  if (core::IsBlankText(script.volumeBaseName.CStr())) return kCorruptVolumeName;
  reader.ReadText(script.uninstallerFileName);
  if (core::IsBlankText(script.uninstallerFileName.CStr())) return kCorruptUninstallerName;
  script.titleColor = reader.ReadU32();
  script.topColor = reader.ReadU32();
  script.bottomColor = reader.ReadU32();

  i32 bitmapSize = reader.ReadI32();
  if (bitmapSize > reader.Remaining()) return kCorruptLanguageCount;  // runs off the end
  if (bitmapSize > 0) {
    script.backgroundBitmap.Resize(static_cast<std::size_t>(bitmapSize));
    reader.ReadBytes(script.backgroundBitmap.Data(), bitmapSize);
  }

  if (script.productFlags & kFlagMasterProduct) reader.ReadText(script.masterProductName);
  reader.ReadText(script.preInstallBatch);
  reader.ReadText(script.postInstallBatch1);
  reader.ReadText(script.postInstallBatch2);
  reader.ReadText(script.uninstallBatch1);
  reader.ReadText(script.uninstallBatch2);
  script.reserved = reader.ReadU32();
  script.excludedSystems = reader.ReadU32();
  script.firstSequenceNumber = reader.ReadU32();

  script.iconPatchOffset = reader.ReadI32();
  if (script.iconPatchOffset < 0 || script.iconPatchOffset > kMaxIconPatchOffset) return kCorruptIconPatch;
  if (script.iconPatchOffset > 0) {
    script.iconPatch.Resize(kIconPatchBytes);
    reader.ReadBytes(script.iconPatch.Data(), kIconPatchBytes);
  }

  i32 associationCount = reader.ReadI32();
  if (associationCount > reader.Remaining() / kMinAssociationBytes) return kCorruptLanguageCount;
  for (i32 i = 0; i < associationCount; ++i) ReadAssociation(reader, script.associations.Append({}));

  i32 languageCount = reader.ReadByte();
  if (languageCount == 0) return kCorruptLanguageCount;
  i32 messageCount = reader.ReadI32();
  if (messageCount < 1 || messageCount > kMaxMessages) return kCorruptMessageCount;
  // Every text takes at least its NUL byte.
  if (languageCount + static_cast<i64>(messageCount) * languageCount > reader.Remaining()) return kCorruptEndMarker;

  script.languageNames.Reserve(languageCount);
  for (i32 i = 0; i < languageCount; ++i) reader.ReadText(script.languageNames.Append({}));
  script.messages.Reserve(messageCount);
  for (i32 n = 0; n < messageCount; ++n) {
    core::Array<core::String>& texts = script.messages.Append({});
    texts.Reserve(languageCount);
    for (i32 i = 0; i < languageCount; ++i) reader.ReadText(texts.Append({}));
  }

  if (reader.ReadU32() != kScriptEndMarker) return kCorruptEndMarker;
  return 0;
}

i32 ReadInstallScript(const u8* data, i32 length, InstallScript& script) {
  ScriptReader reader(data, length);
  script.productFlags = ReadProductFlags(reader);
  return ReadScriptItems(reader, script);
}

}  // namespace kova::format
