// The little of the C++ runtime the stub needs, without linking libstdc++:
// operator new and delete over the engine allocator (which ends the program
// on failure, so new never returns null and never throws), and the handler
// for a call of a pure virtual function.
#include <cstdlib>
#include <new>

#include "core/failure.h"
#include "core/memory.h"

void* operator new(std::size_t size) { return kova::core::Allocate(size); }
void* operator new[](std::size_t size) { return kova::core::Allocate(size); }
void operator delete(void* block) noexcept { kova::core::Release(block); }
void operator delete[](void* block) noexcept { kova::core::Release(block); }
void operator delete(void* block, std::size_t) noexcept { kova::core::Release(block); }
void operator delete[](void* block, std::size_t) noexcept { kova::core::Release(block); }

extern "C" void __cxa_pure_virtual();
extern "C" void __cxa_pure_virtual() { kova::core::RaiseInternalError("Core", __LINE__); }

// Function-local statics register their destructors with atexit. The stub
// ends only through ExitProcess and frees nothing before (the system takes
// the whole process back), so the registrations are dropped. Defining atexit
// here also keeps the linker from calling msvcrt's atexit directly through the
// import table, a reference that only the MinGW start-up code (not used by the
// stub) would patch.
extern "C" int atexit(void (*)(void)) { return 0; }
