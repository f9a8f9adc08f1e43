// recursive_mutex.cc: owner tracking of RecursiveMutex, shared by both
// systems; the native lock itself is in the system's sync file.
//
// Thread-safety: owner_ is atomic; depth_ is touched only by the holder.

#include "src/platform/sync.h"

namespace zarq {

void RecursiveMutex::Lock() {
  NativeLock();
  owner_.store(CurrentThreadId(), std::memory_order_relaxed);
  ++depth_;
}

bool RecursiveMutex::TryLock() {
  if (!NativeTryLock()) return false;
  owner_.store(CurrentThreadId(), std::memory_order_relaxed);
  ++depth_;
  return true;
}

bool RecursiveMutex::Unlock() {
  if (!HeldByCurrentThread()) return false;
  if (--depth_ == 0) owner_.store(0, std::memory_order_relaxed);
  NativeUnlock();
  return true;
}

bool RecursiveMutex::HeldByCurrentThread() const {
  return owner_.load(std::memory_order_relaxed) == CurrentThreadId();
}

}  // namespace zarq
