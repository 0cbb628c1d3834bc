// Fixtures for the builder tests: a throw-away directory, a small synthetic
// stub (a PE32 or PE32+ file with four sections and one 32x32 256-colour
// icon image in its resource directory, so the tests need no cross-built
// stub), and building an installer from manifest text in one call.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "builder/host_files.h"
#include "builder/images.h"
#include "builder/installer_writer.h"
#include "builder/manifest.h"

namespace kova::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kova-host-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name = "") const { return name.empty() ? path_ : path_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  std::string Write(const std::string& name, const std::vector<u8>& bytes) const {
    return Write(name, std::string(bytes.begin(), bytes.end()));
  }
  std::vector<u8> Read(const std::string& name) const {
    std::vector<u8> bytes;
    std::string error;
    EXPECT_TRUE(builder::ReadWholeFile(Path(name), bytes, error)) << error;
    return bytes;
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }

 private:
  std::string path_;
};

inline void Put16(std::vector<u8>& b, std::size_t at, u32 v) {
  b[at] = static_cast<u8>(v);
  b[at + 1] = static_cast<u8>(v >> 8);
}
inline void Put32(std::vector<u8>& b, std::size_t at, u32 v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}
inline u32 Get16(const std::vector<u8>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
inline u32 Get32(const std::vector<u8>& b, std::size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

// A 32x32 256-colour icon image whose pixels are all `fill`.
inline std::vector<u8> IconImage(u8 fill) {
  std::vector<u8> image(builder::kIconImageBytes, 0);
  Put32(image, 0, 40);
  Put32(image, 4, 32);
  Put32(image, 8, 64);
  Put16(image, 12, 1);
  Put16(image, 14, 8);
  std::memset(image.data() + 40 + 1024, fill, 1024);
  return image;
}

// The same image as a .ico file.
inline std::vector<u8> IcoFile(u8 fill) {
  std::vector<u8> ico(22, 0);
  Put16(ico, 2, 1);
  Put16(ico, 4, 1);
  ico[6] = 32;
  ico[7] = 32;
  Put16(ico, 10, 1);
  Put16(ico, 12, 8);
  Put32(ico, 14, builder::kIconImageBytes);
  Put32(ico, 18, 22);
  std::vector<u8> image = IconImage(fill);
  ico.insert(ico.end(), image.begin(), image.end());
  return ico;
}

struct StubOptions {
  bool pe32Plus = false;
  u32 sizeOfHeaders = 0x400;
};

// Offsets of the synthetic stub's parts.
inline constexpr u32 kStubPeOffset = 0x80;
inline constexpr u32 kStubIconOffset = 0x800 + 0x70;  // the icon image in .rsrc
inline constexpr u32 kStubSizeOfImage = 0x5000;
inline constexpr u32 kStubCheckSum = 0x1234;

inline std::vector<u8> MakeStub(const StubOptions& options = {}) {
  std::vector<u8> f(0x1400, 0);
  f[0] = 'M';
  f[1] = 'Z';
  Put32(f, 0x3C, kStubPeOffset);
  u32 pe = kStubPeOffset;
  Put32(f, pe, 0x00004550);
  Put16(f, pe + 4, options.pe32Plus ? 0x8664 : 0x14C);
  Put16(f, pe + 6, 4);
  u32 optionalSize = options.pe32Plus ? 240 : 224;
  Put16(f, pe + 20, optionalSize);
  Put16(f, pe + 22, 0x102);
  u32 oh = pe + 24;
  Put16(f, oh, options.pe32Plus ? 0x20B : 0x10B);
  Put32(f, oh + 8, 0xC00);  // SizeOfInitializedData
  Put32(f, oh + 16, 0x1000);
  Put32(f, oh + 32, 0x1000);  // SectionAlignment
  Put32(f, oh + 36, 0x200);   // FileAlignment
  Put32(f, oh + 56, kStubSizeOfImage);
  Put32(f, oh + 60, options.sizeOfHeaders);
  Put32(f, oh + 64, kStubCheckSum);
  Put16(f, oh + 68, 2);
  u32 dirs = oh + (options.pe32Plus ? 112 : 96);
  Put32(f, dirs - 4, 16);
  Put32(f, dirs + 2 * 8, 0x3000);  // resource directory
  Put32(f, dirs + 2 * 8 + 4, 0x70 + builder::kIconImageBytes);

  struct Section {
    const char* name;
    u32 va, vsize, raw, rawSize, characteristics;
  };
  const Section sections[] = {
      {".text", 0x1000, 0x10, 0x400, 0x200, 0x60000020},
      {".data", 0x2000, 0x10, 0x600, 0x200, 0xC0000040},
      {".rsrc", 0x3000, 0x70 + static_cast<u32>(builder::kIconImageBytes), 0x800, 0xA00, 0x40000040},
      {".reloc", 0x4000, 0x10, 0x1200, 0x200, 0x42000040},
  };
  u32 table = oh + optionalSize;
  for (int i = 0; i < 4; ++i) {
    u32 at = table + static_cast<u32>(i) * 40;
    std::memcpy(f.data() + at, sections[i].name, std::strlen(sections[i].name));
    Put32(f, at + 8, sections[i].vsize);
    Put32(f, at + 12, sections[i].va);
    Put32(f, at + 16, sections[i].rawSize);
    Put32(f, at + 20, sections[i].raw);
    Put32(f, at + 36, sections[i].characteristics);
  }
  std::memset(f.data() + 0x400, 0xC3, 0x10);  // some code bytes

  // Resource tree: type RT_ICON (3) -> id 1 -> language 1033 -> data entry.
  u32 r = 0x800;
  Put16(f, r + 14, 1);
  Put32(f, r + 16, 3);
  Put32(f, r + 20, 0x80000000u | 0x18);
  Put16(f, r + 0x18 + 14, 1);
  Put32(f, r + 0x18 + 16, 1);
  Put32(f, r + 0x18 + 20, 0x80000000u | 0x30);
  Put16(f, r + 0x30 + 14, 1);
  Put32(f, r + 0x30 + 16, 1033);
  Put32(f, r + 0x30 + 20, 0x48);
  Put32(f, r + 0x48, 0x3000 + 0x70);
  Put32(f, r + 0x48 + 4, builder::kIconImageBytes);
  std::vector<u8> icon = IconImage(7);
  std::copy(icon.begin(), icon.end(), f.begin() + kStubIconOffset);
  return f;
}

// Builds from manifest text written to dir/kova.toml; outputs land in
// dir/out/<name>. Returns the error text, empty on success.
inline std::string Build(const TempDir& dir, const std::string& manifestText, std::vector<builder::OutputFile>& outputs,
                         builder::CompressionLevel level = builder::CompressionLevel::kFast,
                         const std::vector<u8>& stub = MakeStub(), const std::string& name = "setup.exe") {
  std::string manifestPath = dir.Write("kova.toml", manifestText);
  builder::Manifest manifest;
  std::string error;
  if (!builder::ReadManifest(manifestPath, manifest, error)) return error;
  builder::BuildOptions options;
  options.stub = stub;
  options.stubStamp = {2001, 2, 3, 4, 5, 6};
  std::filesystem::create_directories(dir.Path("out"));
  options.outputPath = dir.Path("out/" + name);
  options.level = level;
  builder::BuildReport report;
  if (!builder::BuildInstaller(manifest, options, outputs, report, error)) return error;
  return {};
}

// Build, then write the outputs; returns the installer's path.
inline std::string BuildAndWrite(const TempDir& dir, const std::string& manifestText,
                                 builder::CompressionLevel level = builder::CompressionLevel::kFast,
                                 const std::vector<u8>& stub = MakeStub()) {
  std::vector<builder::OutputFile> outputs;
  std::string error = Build(dir, manifestText, outputs, level, stub);
  EXPECT_EQ(error, "");
  EXPECT_TRUE(builder::WriteFilesAtomically(outputs, error)) << error;
  return outputs.empty() ? "" : outputs[0].path;
}

}  // namespace kova::test
