// The engine's allocator: malloc and free from the C runtime, with an
// allocation failure ending the program instead of being returned. Engine code
// never sees a null pointer from Allocate.
#pragma once

#include "core/types.h"

namespace kova::core {

void* Allocate(std::size_t size);
void* Reallocate(void* block, std::size_t size);
void Release(void* block);

}  // namespace kova::core
