// Failure handlers of the core library; see failure.h.
#include "core/failure.h"

#include <cstdio>
#include <cstdlib>

namespace kova::core {
namespace {

InternalErrorHandler gInternal = nullptr;
OutOfMemoryHandler gOutOfMemory = nullptr;
FatalErrorHandler gFatal = nullptr;

// Writes a number without printf: the stub must not pull MinGW's own printf
// in, and this path runs only before any handler is installed.
void PutNumber(i64 value) {
  char digits[24];
  int n = 0;
  u64 magnitude = Magnitude(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) std::fputc('-', stderr);
  while (n) std::fputc(digits[--n], stderr);
}

}  // namespace

void SetFailureHandlers(InternalErrorHandler internal, OutOfMemoryHandler outOfMemory) {
  gInternal = internal;
  gOutOfMemory = outOfMemory;
}

void RaiseInternalError(const char* module, int line) {
  if (gInternal) gInternal(module, line);
  std::fputs("Internal Fatal Error\nModule: ", stderr);
  std::fputs(module, stderr);
  std::fputs("\nLine: ", stderr);
  PutNumber(line);
  std::fputc('\n', stderr);
  std::fflush(stderr);  // the host tool may write it in blocks
  std::abort();
}

void RaiseOutOfMemory(OutOfMemoryKind kind, i64 requested) {
  if (gOutOfMemory) gOutOfMemory(kind, requested);
  std::fputs("Out of memory; bytes requested: ", stderr);
  PutNumber(requested);
  std::fputc('\n', stderr);
  std::fflush(stderr);  // the host tool may write it in blocks
  std::abort();
}

void SetFatalErrorHandler(FatalErrorHandler handler) { gFatal = handler; }

void RaiseFatalError(const char* text) {
  if (gFatal) gFatal(text);
  std::fputs("FATAL ERROR\n", stderr);
  std::fputs(text, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);  // the host tool may write it in blocks
  std::abort();
}

}  // namespace kova::core
