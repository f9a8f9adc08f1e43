// region_locks.cc: byte-range locks through the handles of the file table.
//
// The system lock belongs to the handle, so two handles of this process
// exclude each other as two processes do. RegionLockTable makes repeated
// locks of one exact range through one handle nest instead of failing, and
// keeps handles that hold locks from being evicted. A waiting lock retries
// every 25 ms for up to 10 s; this loop is the only waiting policy of the
// library, for every system.
//
// Thread-safety: callers hold the library lock; the table is guarded by the
// file table lock, which is held across the waiting loop (the flush worker
// then waits for it, but never a library call of another thread, which
// waits for the library lock first).

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/fileio/file_table_state.h"
#include "src/fileio/system_error_map.h"
#include "src/platform/system_errors.h"

namespace zarq {
namespace {

constexpr uint32_t kLockWaitMs = 10000;
constexpr uint32_t kLockRetryMs = 25;

uint32_t LockWaiting(FileHandle handle, uint32_t offset, uint32_t length) {
  uint32_t start = Os().TickCount();
  for (;;) {
    uint32_t error = Os().LockRange(handle, offset, length);
    if (error == 0 || ElapsedTicks(start) >= kLockWaitMs) return error;
    // Another holder: wait for it. Other failures may be passing ones (a
    // network hiccup): try again at once, yielding the processor.
    Os().Sleep(error == kErrorLockViolation ? kLockRetryMs : 0);
  }
}

bool Overlaps(const RegionLock& region, uint32_t offset, uint32_t length) {
  uint64_t end = static_cast<uint64_t>(region.offset) + region.length;
  uint64_t wanted_end = static_cast<uint64_t>(offset) + length;
  return offset < end && wanted_end > region.offset;
}

}  // namespace

int32_t FileLockRegion(FileHandle handle, int mode, uint32_t length) {
  if (mode != kUnlockRegion && mode != kLockRegionWaiting && mode != kLockRegionNoWait) {
    return ZARQ_E_BAD_LOCK_MODE;
  }
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  if (FindSlotOfHandle(table, handle) < 0) return ZARQ_E_BAD_FILE_HANDLE;
  uint64_t position = 0;
  if (Os().SeekFile(handle, 0, SeekOrigin::kCurrent, &position) != 0 || position > 0xFFFFFFFFu) {
    return ZARQ_E_BAD_FILE_HANDLE;
  }
  uint32_t offset = static_cast<uint32_t>(position);

  RegionLock* record = nullptr;
  for (RegionLock& region : table.regions) {
    if (!region.used || region.handle != handle) continue;
    if (region.offset == offset && region.length == length) {
      record = &region;
      break;
    }
    if (region.offset == offset || Overlaps(region, offset, length)) return ZARQ_E_RANGE_LOCKED;
  }

  if (mode == kUnlockRegion) {
    if (record == nullptr) {
      // Not locked by this process through this handle: hand the request to
      // the system without recording anything (a record here would pin the
      // handle and never be freed).
      uint32_t error = Os().UnlockRange(handle, offset, length);
      return error == 0 ? ZARQ_OK : MapSystemError(error, ZARQ_E_LOCK_FAILED);
    }
    if (record->count > 1) {
      --record->count;
      return ZARQ_OK;
    }
    uint32_t error = Os().UnlockRange(handle, offset, length);
    if (error != 0) return MapSystemError(error, ZARQ_E_LOCK_FAILED);
    *record = RegionLock{};
    return ZARQ_OK;
  }

  if (record != nullptr) {
    ++record->count;  // nested: the range is held already
    return ZARQ_OK;
  }
  for (RegionLock& region : table.regions) {
    if (!region.used) {
      record = &region;
      break;
    }
  }
  if (record == nullptr) return ZARQ_E_RANGE_LOCKED;
  uint32_t error = mode == kLockRegionWaiting ? LockWaiting(handle, offset, length)
                                              : Os().LockRange(handle, offset, length);
  if (error != 0) return MapSystemError(error, ZARQ_E_LOCK_FAILED);
  record->used = true;
  record->handle = handle;
  record->count = 1;
  record->offset = offset;
  record->length = length;
  return ZARQ_OK;
}

}  // namespace zarq
