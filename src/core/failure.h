// The ways code below the payload layer can end the program: an impossible
// internal state, an exhausted allocator, and a fatal error with a text of
// its own (the registry layer's unbalanced key close). Core cannot show boxes
// itself (that is the payload layer's fatal-error routine), so the owner of
// the process installs handlers at start-up; until then a failure writes to
// stderr and aborts.
#pragma once

#include "core/types.h"

namespace kova::core {

enum class OutOfMemoryKind {
  kConstruct,  // building a String from text: the short "Out of memory" text
  kGeneral,    // any other allocation: the text with the requested size
};

using InternalErrorHandler = void (*)(const char* module, int line);
using OutOfMemoryHandler = void (*)(OutOfMemoryKind kind, i64 requested);

void SetFailureHandlers(InternalErrorHandler internal, OutOfMemoryHandler outOfMemory);

[[noreturn]] void RaiseInternalError(const char* module, int line);
[[noreturn]] void RaiseOutOfMemory(OutOfMemoryKind kind, i64 requested);

using FatalErrorHandler = void (*)(const char* text);
void SetFatalErrorHandler(FatalErrorHandler handler);
[[noreturn]] void RaiseFatalError(const char* text);

}  // namespace kova::core
