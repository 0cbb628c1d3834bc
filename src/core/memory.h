// The engine's allocator: malloc and free from the C runtime, with an
// allocation failure ending the program instead of being returned. Engine code
// never sees a null pointer from Allocate.
#pragma once

#include "core/types.h"

namespace kova::core {

void* Allocate(std::size_t size);
void* Reallocate(void* block, std::size_t size);
void Release(void* block);

// Pages ahead of a writer. A fresh block of many megabytes written once from
// front to back (a decoded file data stream) takes a page fault for every
// page on first touch; a platform that can map pages in bulk on another
// processor does so while the writer works. Mapping ahead never changes the
// block's bytes. Without a handler (the stub, the fuzzers) nothing is done.
struct PagesAheadHandler {
  void* (*start)(void* block, std::size_t size);  // a token for finish, or null
  void (*finish)(void* token);                    // stops the work and waits for it
};
void SetPagesAheadHandler(const PagesAheadHandler* handler);

// For the lifetime of the object (which the block must outlast).
class PagesAhead {
 public:
  PagesAhead(void* block, std::size_t size);
  ~PagesAhead();
  PagesAhead(const PagesAhead&) = delete;
  PagesAhead& operator=(const PagesAhead&) = delete;

 private:
  void* token_ = nullptr;
};

}  // namespace kova::core
