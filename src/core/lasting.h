// Lasting<T>: an object of static storage, made on first use and never
// destroyed. The stub runs no exit-time destructors (its atexit does
// nothing), so a function-local static with a destructor would only carry
// the code that registers and runs it; what the process holds this way lives
// until the process ends.
#pragma once

#include <new>

namespace kova::core {

template <typename T>
class Lasting {
 public:
  Lasting() { new (storage_) T(); }
  Lasting(const Lasting&) = delete;
  Lasting& operator=(const Lasting&) = delete;

  T& Get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace kova::core
