// Building the installer bytes; see installer_writer.h.
//
// Layout of the `.kova` section, from its start:
//   36-byte header, file-size table (4 bytes per file),
//   script block (compressed and scrambled install script),
//   the file data stream, or as much of it as the first volume holds,
//   zero padding up to the section's aligned size.
// The archive end offset in the header marks where the stream bytes in this
// file stop; the rest of the stream follows in the volume files.
#include "builder/installer_writer.h"

#include <algorithm>
#include <filesystem>

#include "builder/ansi_text.h"
#include "builder/images.h"
#include "builder/pe_file.h"
#include "format/archive.h"
#include "format/archive_open.h"
#include "format/checksum.h"
#include "format/install_script.h"

namespace kova::builder {
namespace {

constexpr u32 kHeaderFixedBytes = 36;
// The stub refuses a decompressed script larger than this (the declared size
// of the block is capped before anything is reserved for it).
constexpr u64 kMaxScriptBytes = 0x10000000;
constexpr u64 kMaxStreamBytes = 0x7FFFFFFF;

std::string Megabytes(u64 bytes) { return std::to_string(bytes) + " bytes"; }

// Finds where the stub keeps its 32x32 256-colour icon image; the uninstaller
// image gets the manifest's icon there.
bool FindIconPatchOffset(const std::vector<u8>& stub, i32& offset, std::string& error) {
  PeImage pe;
  std::vector<IconImage> icons;
  if (!ParsePe(stub, pe, error) || !FindIconImages(stub, pe, icons, error)) {
    error = "the stub: " + error;
    return false;
  }
  for (const IconImage& icon : icons) {
    if (icon.size != kIconImageBytes || !IsIconPatchImage(std::span(stub).subspan(icon.fileOffset, icon.size)))
      continue;
    if (icon.fileOffset == 0 || icon.fileOffset > static_cast<u32>(format::kMaxIconPatchOffset)) {
      error = "the stub's icon image lies at file offset " + std::to_string(icon.fileOffset) +
              ", beyond the 999998 an uninstaller icon patch can reach";
      return false;
    }
    offset = static_cast<i32>(icon.fileOffset);
    return true;
  }
  error = "the stub has no 32x32 256-colour icon image for the uninstaller icon to replace";
  return false;
}

// The default volume base name: the installer's file name without its
// extension, as the installer will look for "<base><n>.KVA" beside itself.
bool DefaultVolumeBase(const std::string& outputPath, std::string& base, std::string& error) {
  std::string stem = std::filesystem::path(outputPath).stem().string();
  std::string why;
  if (!Utf8ToAnsi(stem, base, why) || !CheckRecordName(base, why) || base.find_first_not_of(" \t") == std::string::npos) {
    error = "cannot take the volume base name from the output name '" + stem + "'; give [volumes] base-name";
    return false;
  }
  return true;
}

// The built bytes as the engine's byte source. (format::MemorySource would
// serve, but the engine is compiled without RTTI, and host code built with
// UBSan's vptr check needs the type information of every class it calls
// through a vtable.)
class BytesSource final : public format::ByteSource {
 public:
  explicit BytesSource(const std::vector<u8>& bytes) : bytes_(bytes) {}
  i64 Size() override { return static_cast<i64>(bytes_.size()); }
  bool ReadAt(i64 position, u8* buffer, i64 n) override {
    if (position < 0 || n < 0 || position > Size() || n > Size() - position) return false;
    std::copy_n(bytes_.begin() + position, n, buffer);
    return true;
  }

 private:
  const std::vector<u8>& bytes_;
};

void PutU32At(std::vector<u8>& bytes, std::size_t at, u32 value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<u8>(value >> (8 * i));
}

}  // namespace

std::string VolumePath(const std::string& installerPath, const std::string& baseName, int number) {
  std::filesystem::path dir = std::filesystem::path(installerPath).parent_path();
  return (dir / (AnsiToUtf8(baseName) + std::to_string(number) + ".KVA")).string();
}

bool BuildInstaller(const Manifest& manifest, const BuildOptions& options, std::vector<OutputFile>& outputs,
                    BuildReport& report, std::string& error) {
  outputs.clear();
  report = BuildReport{};
  ScriptItems script = manifest.script;
  if (!manifest.uninstallerStampGiven) script.uninstallerStamp = options.stubStamp;
  if (!manifest.volumeBaseGiven && !DefaultVolumeBase(options.outputPath, script.volumeBaseName, error)) return false;
  if (!script.iconPatch.empty() && !FindIconPatchOffset(options.stub, script.iconPatchOffset, error)) return false;
  report.iconPatchOffset = script.iconPatchOffset;

  // The file data stream.
  std::vector<u8> stream;
  std::vector<i32> sizes;
  for (const ManifestFile& file : manifest.files) {
    std::vector<u8> data;
    if (!ReadWholeFile(file.source, data, error)) {
      error = file.where + ": " + error;
      return false;
    }
    if (data.size() > kMaxFileBytes) {
      error = file.where + ": '" + file.source + "' has grown beyond 1 GiB";
      return false;
    }
    AppendFileRecord(stream, file.record, data);
    sizes.push_back(static_cast<i32>(data.size()));
    report.sourceBytes += data.size();
    if (stream.size() > kMaxStreamBytes) {
      error = manifest.path + ": the files add up to more than the 2 GiB an installer's file data can hold";
      return false;
    }
  }
  report.fileCount = sizes.size();
  report.streamBytes = stream.size();
  std::vector<u8> stored;
  if ((script.productFlags & format::kFlagCompressedData) && !stream.empty()) {
    if (!CompressBlock(stream, options.level, stored) || stored.size() > kMaxStreamBytes) {
      error = manifest.path + ": the compressed file data is larger than 2 GiB";
      return false;
    }
  } else {
    stored.swap(stream);
  }
  report.streamStored = stored.size();
  u32 streamChecksum = format::Checksum32(stored.data(), static_cast<i64>(stored.size()));
  // Volumes of another build carry other sequence numbers, so the installer
  // can tell them apart; the stream's checksum serves without a clock.
  if (!manifest.firstSequenceGiven) script.firstSequenceNumber = streamChecksum;

  // The install script: compressed, then scrambled with its own checksum.
  std::vector<u8> plain = WriteInstallScript(script);
  report.scriptBytes = plain.size();
  if (plain.size() > kMaxScriptBytes) {
    error = manifest.path + ": the install script is " + Megabytes(plain.size()) +
            "; the installer reads at most 268435456 bytes (texts, pages and the background bitmap)";
    return false;
  }
  u32 scriptKey = format::Checksum32(plain.data(), static_cast<i64>(plain.size()));
  std::vector<u8> block;
  CompressBlock(plain, options.level, block);
  report.scriptStored = block.size();
  if (block.size() > static_cast<std::size_t>(format::kMaxScriptSize)) {
    error = manifest.path + ": the install script is " + Megabytes(block.size()) +
            " compressed; the limit is 10485759 (0x9FFFFF): use a smaller background bitmap or shorter pages";
    return false;
  }
  format::Descramble(block.data(), static_cast<i64>(block.size()), scriptKey);

  // Where the section will go, to know how much of the stream the installer
  // itself can hold when the stream is split into volumes.
  PeImage pe;
  if (!ParsePe(options.stub, pe, error)) {
    error = "the stub: " + error;
    return false;
  }
  u64 rawPointer = (options.stub.size() + pe.fileAlignment - 1) / pe.fileAlignment * pe.fileAlignment;
  u64 alignment = ArchiveSectionAlignment(pe);
  u64 fixedBytes = kHeaderFixedBytes + 4 * static_cast<u64>(sizes.size()) + block.size();
  u64 inInstaller = stored.size();
  if (manifest.volumeSize > 0) {
    u64 room = manifest.volumeSize > rawPointer ? (manifest.volumeSize - rawPointer) / alignment * alignment : 0;
    if (room < fixedBytes + 1) {
      error = manifest.path + ": a volume size of " + std::to_string(manifest.volumeSize) +
              " bytes is too small: the installer itself (stub, archive header, install script and the first "
              "byte of file data) needs at least " +
              std::to_string((rawPointer + fixedBytes + 1 + alignment - 1) / alignment * alignment) + " bytes";
      return false;
    }
    inInstaller = std::min<u64>(stored.size(), room - fixedBytes);
  }

  std::vector<u8> section;
  section.reserve(static_cast<std::size_t>(fixedBytes + inInstaller));
  PutU32(section, format::kArchiveMagic);
  PutI32(section, format::kBuilderVersion);
  PutI32(section, static_cast<i32>(block.size()));
  PutU32(section, scriptKey);
  PutU32(section, 0);  // the stub checksum, once the section's place is known
  PutI32(section, static_cast<i32>(fixedBytes + inInstaller));
  PutI32(section, static_cast<i32>(sizes.size()));
  PutI32(section, static_cast<i32>(stored.size()));
  PutU32(section, streamChecksum);
  for (i32 size : sizes) PutI32(section, size);
  section.insert(section.end(), block.begin(), block.end());
  section.insert(section.end(), stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(inInstaller));

  OutputFile installer;
  installer.path = options.outputPath;
  installer.bytes = options.stub;
  AppendedSection placed;
  if (!AppendSection(installer.bytes, format::kArchiveSectionName, section, kSectionInitializedData | kSectionRead,
                     placed, error)) {
    error = "the stub: " + error;
    return false;
  }
  u32 stubChecksum = format::Checksum32(installer.bytes.data(), placed.rawPointer);
  PutU32At(installer.bytes, placed.rawPointer + 16, stubChecksum);
  report.installerBytes = installer.bytes.size();

  // The stub's own reading of what was just written: the PE walk, every header
  // check, the script block and every script item.
  BytesSource source(installer.bytes);
  format::OpenedArchive opened;
  format::InstallScript check;
  core::ByteBuffer image;
  i32 code = format::OpenAndReadArchive(source, opened, check, image);
  if (code != 0) {
    error = "internal error: the installer just built does not open (code " + std::to_string(code) +
            "); is the stub a Kova stub?";
    return false;
  }
  outputs.push_back(std::move(installer));

  // Volumes: a sequence number, then the next part of the stream.
  u64 at = inInstaller;
  u64 chunk = manifest.volumeSize > 4 ? manifest.volumeSize - 4 : 0;
  for (int number = 2; at < stored.size(); ++number) {
    OutputFile volume;
    volume.path = VolumePath(options.outputPath, script.volumeBaseName, number);
    PutU32(volume.bytes, script.firstSequenceNumber + static_cast<u32>(number - 2));
    u64 n = std::min<u64>(chunk, stored.size() - at);
    volume.bytes.insert(volume.bytes.end(), stored.begin() + static_cast<std::ptrdiff_t>(at),
                        stored.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    outputs.push_back(std::move(volume));
    ++report.volumeCount;
  }
  return true;
}

}  // namespace kova::builder
