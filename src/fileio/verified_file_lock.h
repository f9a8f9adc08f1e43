// verified_file_lock.h: an exclusive lock on one byte of a file that other
// processes may delete or replace while this one waits for it.
//
// A process waiting for a byte-range lock holds the file open; when the
// holder then deletes the file (or another file takes its name), the lock
// granted afterwards is a lock on a file nobody else will look at. So the
// lock is verified once granted: the name must still lead to the very file
// locked, or the whole attempt starts again. The lock is held through a
// handle of its own, outside the file table, so that closing a directory's
// cached files never drops it, and the file it is held on can be deleted
// by its holder.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FILEIO_VERIFIED_FILE_LOCK_H_
#define ZARQ_SRC_FILEIO_VERIFIED_FILE_LOCK_H_

#include <cstdint>
#include <string>

#include "src/platform/platform.h"

namespace zarq {

class VerifiedFileLock {
 public:
  enum class Creation {
    kExisting,  // the file must exist: -296 otherwise
    kMayCreate,  // a missing file is created (exclusively: one process makes it)
    kMustCreate,  // the file is made by this call: ZARQ_E_FILE_QUERY with
                  // *existed set when the name is taken
  };

  VerifiedFileLock() = default;
  ~VerifiedFileLock() { Release(); }
  VerifiedFileLock(const VerifiedFileLock&) = delete;
  VerifiedFileLock& operator=(const VerifiedFileLock&) = delete;

  // Locks byte offset of path (a working file: its exact name, never
  // through a link), waiting up to wait_ms for other holders; -366 when
  // the lock is not had in time. *created tells whether this call made the
  // file (it is empty then).
  int32_t Acquire(const std::string& path, Creation creation, uint32_t offset, uint32_t wait_ms,
                  bool* created, bool* existed = nullptr);

  // Unlocks and closes; nothing when nothing is held.
  void Release();

  bool held() const { return handle_ != kNoFileHandle; }

 private:
  FileHandle handle_ = kNoFileHandle;
  uint32_t offset_ = 0;
};

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_VERIFIED_FILE_LOCK_H_
