// Failure handlers of the core library; see failure.h.
#include "core/failure.h"

#include <cstdio>
#include <cstdlib>

namespace kova::core {
namespace {

InternalErrorHandler gInternal = nullptr;
OutOfMemoryHandler gOutOfMemory = nullptr;

}  // namespace

void SetFailureHandlers(InternalErrorHandler internal, OutOfMemoryHandler outOfMemory) {
  gInternal = internal;
  gOutOfMemory = outOfMemory;
}

void RaiseInternalError(const char* module, int line) {
  if (gInternal) gInternal(module, line);
  std::fprintf(stderr, "Internal Fatal Error\nModule: %s\nLine: %d\n", module, line);
  std::abort();
}

void RaiseOutOfMemory(OutOfMemoryKind kind, i64 requested) {
  if (gOutOfMemory) gOutOfMemory(kind, requested);
  std::fprintf(stderr, "Out of memory (%lld bytes requested)\n", static_cast<long long>(requested));
  std::abort();
}

}  // namespace kova::core
