// The codes of a damaged installer: each check of the archive, the install
// script, the file data stream and the file records has its own, shown in the
// corrupt-archive box ("error code N") and reported by the host tools.
#pragma once

#include "core/types.h"

namespace kova::format {

enum CorruptCode : i32 {
  kCorruptNegativeWrite = 5,
  kCorruptNoSectionPointer = 9,
  kCorruptSectionSeek = 10,
  kCorruptMagic = 20,
  kCorruptVolumeName = 21,
  kCorruptScriptSize = 22,
  kCorruptIconPatch = 23,
  kCorruptLicenseCount = 24,
  kCorruptScriptChecksum = 25,
  kCorruptReadmeCount = 26,
  kCorruptFileCount = 27,
  kCorruptFileSizeEntry = 28,
  kCorruptFileDataSize = 29,
  kCorruptLanguageCount = 30,
  kCorruptMessageCount = 31,
  kCorruptEndMarker = 32,
  kCorruptUninstallerName = 33,
  kCorruptStubRead = 35,
  kCorruptStubChecksum = 40,
  kCorruptTailRead = 42,
  kCorruptPeOffset = 43,
  kCorruptSectionCount = 44,
  kCorruptArchiveEnd = 45,
  kCorruptScriptDecode = 47,
  kCorruptVolumeRead = 50,
  kCorruptStreamChecksum = 55,
  kCorruptStreamDecode = 60,
  kCorruptRecordName = 70,
  kCorruptRecordSizeNegative = 71,
  kCorruptRecordSizeTooLarge = 72,
  kCorruptRecordChecksum = 100,
  kCorruptRecordType = 110,
};

}  // namespace kova::format
