// library_lock.h: the re-entrant lock that serialises every call into the
// library, and the process error mode it holds while a call is inside.
//
// Thread-safety: the lock is the synchronisation; nesting, the saved-mode
// flag and the saved mode are changed only by the thread that holds it.

#ifndef ZARQ_SRC_FRAME_LIBRARY_LOCK_H_
#define ZARQ_SRC_FRAME_LIBRARY_LOCK_H_

#include <cstdint>

#include "src/platform/sync.h"

namespace zarq {

enum LibraryLockMode : uint32_t {
  kLockRelease = 0,
  kLockAcquire = 1,
  kLockReleaseFinal = 2,
};

class LibraryLock {
 public:
  LibraryLock() = default;
  LibraryLock(const LibraryLock&) = delete;
  LibraryLock& operator=(const LibraryLock&) = delete;

  // Applies one of the LibraryLockMode values; any other value enters and
  // leaves the lock without further effect.
  void Apply(uint32_t mode);

  // Enters the lock; the outermost entry suppresses critical-error dialogs.
  void Acquire();
  // Undoes one Acquire; the error mode comes back when the nesting ends. A
  // thread that does not hold the lock is refused.
  void Release();
  // Clears the nesting, restores the error mode and undoes one Acquire.
  void ReleaseFinal();
  // Enters the lock only when no other thread holds it.
  bool TryAcquire();

  bool HeldByCurrentThread() const { return section_.HeldByCurrentThread(); }
  uint16_t nesting() const { return nesting_; }

 private:
  void EnterSaved();
  void RestoreErrorMode();

  RecursiveMutex section_;
  uint16_t nesting_ = 0;           // guarded by section_
  bool error_mode_saved_ = false;  // guarded by section_
  uint32_t saved_error_mode_ = 0;  // guarded by section_
};

// The process's library lock; created on first use, never destroyed.
LibraryLock& TheLibraryLock();

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_LIBRARY_LOCK_H_
