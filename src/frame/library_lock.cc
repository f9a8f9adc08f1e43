// library_lock.cc: the library lock and its error-mode bookkeeping.
//
// Thread-safety: see library_lock.h.

#include "src/frame/library_lock.h"

#include "src/platform/no_destructor.h"
#include "src/platform/platform.h"

namespace zarq {

void LibraryLock::Apply(uint32_t mode) {
  switch (mode) {
    case kLockAcquire:
      Acquire();
      break;
    case kLockRelease:
      Release();
      break;
    case kLockReleaseFinal:
      ReleaseFinal();
      break;
    default:
      section_.Lock();
      section_.Unlock();
      break;
  }
}

void LibraryLock::Acquire() {
  section_.Lock();
  EnterSaved();
}

bool LibraryLock::TryAcquire() {
  if (!section_.TryLock()) return false;
  EnterSaved();
  return true;
}

void LibraryLock::EnterSaved() {
  if (!error_mode_saved_) {
    saved_error_mode_ = Os().SetErrorMode(kFailCriticalErrors);
    error_mode_saved_ = true;
    nesting_ = 0;
  }
  ++nesting_;
}

void LibraryLock::Release() {
  if (!section_.HeldByCurrentThread()) return;
  if (nesting_ > 0) --nesting_;
  if (nesting_ == 0) RestoreErrorMode();
  section_.Unlock();
}

void LibraryLock::ReleaseFinal() {
  if (!section_.HeldByCurrentThread()) return;
  nesting_ = 0;
  RestoreErrorMode();
  section_.Unlock();
}

void LibraryLock::RestoreErrorMode() {
  if (!error_mode_saved_) return;
  Os().SetErrorMode(saved_error_mode_);
  error_mode_saved_ = false;
}

LibraryLock& TheLibraryLock() {
  static NoDestructor<LibraryLock> lock;
  return *lock;
}

}  // namespace zarq
