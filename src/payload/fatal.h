// The routines that report errors and end the program. Every end of the
// program, successful or not, goes through ExitInstaller, so the process exit
// code is always 1.
#pragma once

#include "core/string.h"
#include "format/corrupt_codes.h"
#include "platform/window.h"

namespace kova::payload {

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
