// The install script: every item of the decompressed script block, in the
// form it is stored. The reader (script_reader.h) fills it front to back; the
// builder writes the same items in the same order. Defaults and install
// variables are applied afterwards by the entry routine, so this struct holds
// exactly what the archive says.
#pragma once

#include "core/array.h"
#include "core/byte_buffer.h"
#include "core/string.h"
#include "format/file_stamp.h"

namespace kova::format {

// ProductFlags bits.
inline constexpr u32 kFlagNoReinstall = 0x00000001;
inline constexpr u32 kFlagUninstallShortcut = 0x00000002;
inline constexpr u32 kFlagUninstallSupport = 0x00000004;
inline constexpr u32 kFlagAskBeforeFonts = 0x00000010;
inline constexpr u32 kFlagCompressedData = 0x00000020;
inline constexpr u32 kFlagAlwaysLog = 0x00000040;
inline constexpr u32 kFlagChooseDirectory = 0x00000080;
inline constexpr u32 kFlagAutomatic = 0x00000100;
inline constexpr u32 kFlagUninstallAutomatic = 0x00000200;
inline constexpr u32 kFlagRemoveInstallDir = 0x00000400;
inline constexpr u32 kFlagAddPath = 0x00001000;
inline constexpr u32 kFlagCustomColors = 0x00002000;
inline constexpr u32 kFlagRestartPending = 0x00004000;
inline constexpr u32 kFlagSaveBackground = 0x00008000;
inline constexpr u32 kFlagMasterProduct = 0x00010000;
inline constexpr u32 kFlagAskBeforeShared = 0x00020000;
inline constexpr u32 kFlagVerifyFiles = 0x00040000;
inline constexpr u32 kFlagClearReadOnly = 0x00080000;
inline constexpr u32 kFlagLogEveryFile = 0x00100000;
inline constexpr u32 kFlagNoCancel = 0x00200000;
inline constexpr u32 kFlagNoLogErrorBox = 0x00400000;
inline constexpr u32 kFlagHidePreBatch = 0x00800000;
inline constexpr u32 kFlagHidePostBatch1 = 0x01000000;
inline constexpr u32 kFlagHidePostBatch2 = 0x02000000;
inline constexpr u32 kFlagHideUninstallBatch1 = 0x04000000;
inline constexpr u32 kFlagHideUninstallBatch2 = 0x08000000;
inline constexpr u32 kFlagReinstallSilently = 0x10000000;
inline constexpr u32 kFlagNoSetupWindow = 0x20000000;

inline constexpr u32 kScriptEndMarker = 0xD3E82B97u;
inline constexpr i32 kMaxPages = 20;
inline constexpr i32 kMaxIconPatchOffset = 999998;
inline constexpr i32 kIconPatchBytes = 2216;
inline constexpr i32 kMaxMessages = 10000;

// One file association: the fields are interpreted when associations are
// written.
struct AssociationRecord {
  u32 flags = 0;
  core::String extension;
  core::String fileType;
  core::String description;
  core::String verb;
  core::String verbText;
  core::String command;
  core::String language;
};

struct InstallScript {
  u32 productFlags = 0;                     // ProductFlags
  format::FileStamp uninstallerStamp;
  core::String publisher;                   // Publisher
  core::String productName;
  core::String sharedDir;                   // SharedDir
  core::String productStartMenu;            // ProductStartMenu
  core::String defaultDirText;
  core::String versionText;
  core::String productRegistry;             // ProductRegistry
  core::Array<i32> licensePages;            // positions of the page texts in the script
  core::Array<i32> readmePages;
  core::String uninstallSubdir;             // UninstallSubdir
  core::String displayName;
  core::String volumeBaseName;
  core::String uninstallerFileName;
  u32 titleColor = 0;                       // TitleColor, as stored
  u32 topColor = 0;                         // TopColor
  u32 bottomColor = 0;                      // BottomColor
  core::ByteBuffer backgroundBitmap;        // a BMP file's bytes, or empty
  core::String masterProductName;           // only with kFlagMasterProduct
  core::String preInstallBatch;
  core::String postInstallBatch1;
  core::String postInstallBatch2;
  core::String uninstallBatch1;             // UninstallBatch1
  core::String uninstallBatch2;             // UninstallBatch2
  u32 reserved = 0;
  u32 excludedSystems = 0;
  u32 firstSequenceNumber = 0;
  i32 iconPatchOffset = 0;
  core::ByteBuffer iconPatch;               // kIconPatchBytes when the offset is above 0
  core::Array<AssociationRecord> associations;
  core::Array<core::String> languageNames;
  core::Array<core::Array<core::String>> messages;  // messages[number][language]
};

}  // namespace kova::format
