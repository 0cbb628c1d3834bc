// The install script as the builder holds it: every item in stream order,
// in host types, with texts already in the ANSI code page. WriteInstallScript
// lays the items out exactly as the stub's ScriptReader reads them.
#pragma once

#include <string>
#include <vector>

#include "core/types.h"
#include "format/file_stamp.h"

namespace kova::builder {

struct Association {
  u32 flags = 0;
  std::string extension;
  std::string fileType;
  std::string description;
  std::string verb;
  std::string verbText;
  std::string command;
  std::string language;
};

struct Language {
  std::string name;
  std::vector<std::string> messages;  // by message number
};

struct ScriptItems {
  u32 productFlags = 0;
  format::FileStamp uninstallerStamp;
  std::string publisher;
  std::string productName;
  std::string sharedDir;
  std::string productStartMenu;
  std::string defaultDir;
  std::string versionText;
  std::string productRegistry;
  std::vector<std::string> licensePages;
  std::vector<std::string> readmePages;
  std::string uninstallSubdir;
  std::string displayName;
  std::string volumeBaseName;
  std::string uninstallerFileName;
  u32 titleColor = 0;
  u32 topColor = 0;
  u32 bottomColor = 0;
  std::vector<u8> backgroundBitmap;  // a packed DIB: the BMP file without its 14-byte file header
  std::string masterProductName;     // written only with the master-product flag
  std::string preInstallBatch;
  std::string postInstallBatch1;
  std::string postInstallBatch2;
  std::string uninstallBatch1;
  std::string uninstallBatch2;
  u32 reserved = 0;
  u32 excludedSystems = 0;
  u32 firstSequenceNumber = 0;
  i32 iconPatchOffset = 0;
  std::vector<u8> iconPatch;  // 2216 bytes when the offset is above 0
  std::vector<Association> associations;
  std::vector<Language> languages;
  // Every language carries this many messages; shorter lists are padded with
  // empty texts when written.
  int messageCount = 0;
};

// The uncompressed install script, end marker included.
std::vector<u8> WriteInstallScript(const ScriptItems& items);

// Little-endian helpers shared by the writers.
void PutU32(std::vector<u8>& out, u32 value);
inline void PutI32(std::vector<u8>& out, i32 value) { PutU32(out, static_cast<u32>(value)); }
void PutText(std::vector<u8>& out, const std::string& text);
void PutStamp(std::vector<u8>& out, const format::FileStamp& stamp);

}  // namespace kova::builder
