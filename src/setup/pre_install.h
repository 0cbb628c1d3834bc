// The checks and choices before the first file is written: language, title,
// operating system, master product, earlier installation, welcome, licence
// and read-me pages, the reinstall question and the installation directory.
// Every question goes through payload::ShowBox or ui::Dialogs(), so a test
// or a terminal can answer them.
#pragma once

#include "core/array.h"
#include "core/string.h"
#include "format/install_script.h"
#include "platform/version.h"

namespace kova::setup {

// What the sequence reads: the install script, the decompressed script bytes
// the page texts live in, and the archive's file sizes.
struct PreInstallInput {
  const format::InstallScript* script = nullptr;
  const u8* scriptBytes = nullptr;
  i32 scriptLength = 0;
  const core::Array<i32>* fileSizes = nullptr;
};

// What it hands on to the file loop.
struct PreInstallChoices {
  bool reinstall = false;        // over an earlier installation, into its directory
  core::String earlierSharedFiles;  // that installation's SharedFiles text
};

// Runs the sequence up to and including the creation of the installation
// directory (payload::Folders().installDir). False when the installation
// must stop: a refusal, a cancel, an excluded system or a missing master
// product; the caller ends the program.
bool RunPreInstall(const PreInstallInput& input, PreInstallChoices& choices);

// The operating system's bit in the excluded-systems mask; 0 for a platform
// no mask names.
u32 SystemBit(const platform::OsVersion& version);
// "Windows 98 A", "Windows NT 5.1 Service Pack 3": the name in the message
// of a refused system.
core::String SystemName(const platform::OsVersion& version);

// The bytes the files take on a drive with clusters of clusterSize bytes:
// each size rounded up to whole clusters (sizes as they are for a cluster
// size below 2), summed in 64 bits.
i64 SpaceNeeded(const core::Array<i32>& fileSizes, i32 clusterSize);

}  // namespace kova::setup
