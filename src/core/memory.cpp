// Allocation with the out-of-memory rule; see memory.h.
#include "core/memory.h"

#include <cstdlib>

#include "core/failure.h"

namespace kova::core {

void* Allocate(std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) RaiseOutOfMemory(OutOfMemoryKind::kGeneral, static_cast<i64>(size));
  return block;
}

void* Reallocate(void* block, std::size_t size) {
  void* grown = std::realloc(block, size ? size : 1);
  if (!grown) RaiseOutOfMemory(OutOfMemoryKind::kGeneral, static_cast<i64>(size));
  return grown;
}

void Release(void* block) { std::free(block); }

namespace {
const PagesAheadHandler* gPagesAhead = nullptr;
}  // namespace

void SetPagesAheadHandler(const PagesAheadHandler* handler) { gPagesAhead = handler; }

PagesAhead::PagesAhead(void* block, std::size_t size) {
  if (gPagesAhead && block && size) token_ = gPagesAhead->start(block, size);
}

PagesAhead::~PagesAhead() {
  if (token_) gPagesAhead->finish(token_);
}

}  // namespace kova::core
