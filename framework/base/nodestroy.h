// Storage for a process-wide object that must outlive every other: it is
// constructed on first use and never destroyed, so static destructors and
// the allocator's release can still reach it.
#pragma once
#include <new>
#include <utility>

template <class T>
class SYS_NoDestroy {
 public:
  template <class... Args>
  explicit SYS_NoDestroy(Args&&... args) {
    new (storage_) T(std::forward<Args>(args)...);
  }
  T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return &**this; }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};
