// record_lock.h: a scoped byte-range lock on one record of a file of
// fixed-size records.
//
// The lock is taken through FileLockRegion (waiting up to 10 s for other
// holders), so locks of the same range by this process nest. Whatever path
// a caller leaves by, the destructor seeks back to the record and unlocks
// it; Release does so early and reports the outcome.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FILEIO_RECORD_LOCK_H_
#define ZARQ_SRC_FILEIO_RECORD_LOCK_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/fileio/file_table.h"

namespace zarq {

class RecordLock {
 public:
  RecordLock() = default;
  ~RecordLock() { Release(); }
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;

  // Seeks to record index of record_size bytes and locks length bytes
  // there, waiting. Leaves the file positioned at the record. Holding one
  // lock at a time, a second Acquire first releases the first.
  int32_t Acquire(FileHandle file, uint16_t record_size, uint32_t index, uint32_t length) {
    Release();
    int32_t status = FileSeek(file, record_size, static_cast<int32_t>(index), kSeekRecord);
    if (status == ZARQ_OK) status = FileLockRegion(file, kLockRegionWaiting, length);
    if (status != ZARQ_OK) return status;
    file_ = file;
    record_size_ = record_size;
    index_ = index;
    length_ = length;
    held_ = true;
    return ZARQ_OK;
  }

  // Seeks back to the record and unlocks it; 0 when nothing is held.
  int32_t Release() {
    if (!held_) return ZARQ_OK;
    held_ = false;
    int32_t status = FileSeek(file_, record_size_, static_cast<int32_t>(index_), kSeekRecord);
    // Unlocking wherever a failed seek left the file could release a range
    // held for someone else.
    if (status != ZARQ_OK) return status;
    return FileLockRegion(file_, kUnlockRegion, length_);
  }

  bool held() const { return held_; }

 private:
  FileHandle file_ = kNoFileHandle;
  uint16_t record_size_ = 0;
  uint32_t index_ = 0;
  uint32_t length_ = 0;
  bool held_ = false;
};

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_RECORD_LOCK_H_
