// verified_file_lock.cc: taking, verifying and releasing a lock on a file
// that may be deleted or replaced.
//
// Thread-safety: callers hold the library lock.

#include "src/fileio/verified_file_lock.h"

#include "include/zarq.h"
#include "src/fileio/system_error_map.h"
#include "src/frame/library_state.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

constexpr uint32_t kWorkingName = kNameExact | kNameNoFollow;

// Short, uneven pauses between attempts: a lock freed is taken again
// within a few milliseconds, and waiters do not wake in step.
void PauseBriefly(uint32_t attempt) {
  Os().Sleep(1 + (Os().ProcessId() + attempt * 7) % 3);
}

void CloseQuietly(FileHandle handle) {
  if (Os().CloseFile(handle) != 0) SetLibraryState(ZARQ_STATE_DAMAGED);
}

bool SameFile(FileHandle handle, const std::string& path) {
  FileIdentity open, named;
  return Os().IdentityOfHandle(handle, &open) == 0 && Os().IdentityOfName(path, &named) == 0 &&
         open == named;
}

}  // namespace

int32_t VerifiedFileLock::Acquire(const std::string& path, Creation creation, uint32_t offset,
                                  uint32_t wait_ms, bool* created, bool* existed) {
  Release();
  *created = false;
  if (existed != nullptr) *existed = false;
  uint32_t start = Os().TickCount();
  for (uint32_t attempt = 0;; ++attempt) {
    bool late = ElapsedTicks(start) >= wait_ms;
    FileHandle handle = kNoFileHandle;
    bool made = false;
    uint32_t error = kErrorFileNotFound;
    if (creation != Creation::kMustCreate) {
      error = Os().OpenFile(path, false, OpenDisposition::kOpenExisting, kWorkingName, &handle);
    }
    if (error == kErrorFileNotFound && creation != Creation::kExisting) {
      error = Os().OpenFile(path, false, OpenDisposition::kCreateNew, kWorkingName, &handle);
      made = error == 0;
      if (error == kErrorFileExists || error == kErrorAlreadyExists) {
        if (creation == Creation::kMustCreate) {
          if (existed != nullptr) *existed = true;
          return ZARQ_E_FILE_QUERY;
        }
        if (late) return ZARQ_E_USER_FILE_LOCKED;
        continue;  // another process made it first: open theirs
      }
    }
    // A file being deleted while others still hold it open refuses every
    // open for a moment on some systems: try again.
    if (kDeletedFilesLinger && error == kErrorAccessDenied && !late) {
      PauseBriefly(attempt);
      continue;
    }
    if (error != 0) return MapSystemError(error, ZARQ_E_OPEN_FAILED);

    for (;;) {
      error = Os().LockRange(handle, offset, 1);
      if (error != kErrorLockViolation || ElapsedTicks(start) >= wait_ms) break;
      PauseBriefly(++attempt);
    }
    if (error != 0) {
      CloseQuietly(handle);
      return error == kErrorLockViolation ? ZARQ_E_USER_FILE_LOCKED
                                          : MapSystemError(error, ZARQ_E_LOCK_FAILED);
    }
    if (SameFile(handle, path)) {
      handle_ = handle;
      offset_ = offset;
      *created = made;
      return ZARQ_OK;
    }
    // The holder deleted or replaced the file meanwhile: start again on
    // whatever the name holds now.
    Os().UnlockRange(handle, offset, 1);
    CloseQuietly(handle);
    if (ElapsedTicks(start) >= wait_ms) return ZARQ_E_USER_FILE_LOCKED;
  }
}

void VerifiedFileLock::Release() {
  if (handle_ == kNoFileHandle) return;
  Os().UnlockRange(handle_, offset_, 1);
  CloseQuietly(handle_);
  handle_ = kNoFileHandle;
}

}  // namespace zarq
