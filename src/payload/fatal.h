// The routines that report errors and end the program. Every end of the
// program, successful or not, goes through ExitInstaller, so the process exit
// code is always 1.
#pragma once

#include "core/string.h"
#include "platform/window.h"

namespace kova::payload {

// Archive error codes shown by CorruptArchive.
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

// The progress dialog when it exists, else the setup window, else null.
platform::WindowHandle DialogOwner();

[[noreturn]] void FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void CorruptArchive(i32 code);
[[noreturn]] void UsageError(const char* text);
[[noreturn]] void InternalError(const char* module, int line);
// A non-fatal error box; nothing in automatic mode or for a blank text.
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void ExitInstaller();
// Dispatches waiting window messages; true when one of them closed something.
bool PumpMessages();

// The texts of the corrupt-archive and usage boxes.
core::String CorruptArchiveText(i32 code);
core::String UsageText(const char* text);

// Whether the process is ending through a fatal error box (for hosts that
// run the engine and report how it ended).
bool EndedByFatalError();

// Routes the core library's internal errors and allocation failures to the
// fatal box. The entry routine calls this first.
void InstallFailureHandlers();

}  // namespace kova::payload
