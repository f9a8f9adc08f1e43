// no_destructor.h: wraps an object that is created once and never destroyed.
//
// Process-wide objects of the library must outlive every unload-order game
// (a destructor running while another thread or the unload entry still uses
// the object), so they are built in place and never torn down.

#ifndef ZARQ_SRC_PLATFORM_NO_DESTRUCTOR_H_
#define ZARQ_SRC_PLATFORM_NO_DESTRUCTOR_H_

#include <new>
#include <utility>

namespace zarq {

template <typename T>
class NoDestructor {
 public:
  template <typename... Args>
  explicit NoDestructor(Args&&... args) {
    new (storage_) T(std::forward<Args>(args)...);
  }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;

  T* get() { return std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return get(); }
  T& operator*() { return *get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_NO_DESTRUCTOR_H_
