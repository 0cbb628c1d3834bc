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

#if defined(__i386__)
#include "stub/long_division.h"

// libgcc's entry points for 64-bit division, which i686 code calls for every
// 64-bit `/` and `%`. Defined here, they keep libgcc's larger versions out.
extern "C" {
kova::u64 __udivmoddi4(kova::u64 dividend, kova::u64 divisor, kova::u64* remainder);
kova::u64 __udivdi3(kova::u64 dividend, kova::u64 divisor);
kova::u64 __umoddi3(kova::u64 dividend, kova::u64 divisor);
kova::i64 __divdi3(kova::i64 dividend, kova::i64 divisor);
kova::i64 __moddi3(kova::i64 dividend, kova::i64 divisor);

kova::u64 __udivmoddi4(kova::u64 dividend, kova::u64 divisor, kova::u64* remainder) {
  return kova::stub::DivideUnsigned(dividend, divisor, remainder);
}
kova::u64 __udivdi3(kova::u64 dividend, kova::u64 divisor) {
  return kova::stub::DivideUnsigned(dividend, divisor, nullptr);
}
kova::u64 __umoddi3(kova::u64 dividend, kova::u64 divisor) {
  kova::u64 remainder = 0;
  kova::stub::DivideUnsigned(dividend, divisor, &remainder);
  return remainder;
}
kova::i64 __divdi3(kova::i64 dividend, kova::i64 divisor) { return kova::stub::DivideSigned(dividend, divisor); }
kova::i64 __moddi3(kova::i64 dividend, kova::i64 divisor) { return kova::stub::RemainderSigned(dividend, divisor); }
}
#endif
