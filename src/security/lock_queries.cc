// lock_queries.cc: whether and how a security is locked, and who held the
// security whose lock was last refused.
//
// Thread-safety: callers hold the library lock.

#include <cstdio>
#include <string>

#include "include/zarq.h"
#include "src/directory/directory_users.h"
#include "src/directory/lock_file.h"
#include "src/fileio/record_lock.h"
#include "src/fileio/security_handle.h"
#include "src/frame/ascii_text.h"
#include "src/master/security_store.h"
#include "src/security/composite_locking.h"
#include "src/security/lock_failure_report.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

enum LockedStatus : uint32_t {
  kNotLocked = 0,
  kLockedHere = 1,
  kLockedElsewhere = 2,
  kComponentLockedHere = 3,
  kComponentLockedElsewhere = 4,
};

// What the security's lock record shows, read under its byte-range lock.
int32_t QueryLockRecord(uint32_t handle, uint32_t* status, uint32_t* level) {
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  LockFileHeader header;
  int32_t result = AccessLockHeader(entry, &header, HeaderAccess::kRead, false);
  if (result != ZARQ_OK) return result;
  const uint32_t n = SlotOfHandle(handle);
  if (n == 0 || n > header.record_count) return ZARQ_E_NO_SUCH_SECURITY;
  FileHandle file = kNoFileHandle;
  RecordLock lock;
  LockRecord record;
  result = OpenLockFile(entry, &file);
  if (result == ZARQ_OK) result = lock.Acquire(file, kLockRecordSize, n, kLockRecordSize);
  if (result == ZARQ_OK) result = ReadLockRecord(file, n, &record);
  int32_t released = lock.Release();
  if (result != ZARQ_OK) return result;
  if (record.AnyUser()) {
    *status = kLockedElsewhere;
    *level = record.level;
  }
  return released;
}

}  // namespace

int32_t GetSecurityLockedStatus(uint32_t handle, uint32_t* status, uint32_t* level) {
  *status = kNotLocked;
  *level = 0;
  int32_t result = CheckSecurityHandle(handle);
  if (result != ZARQ_OK) return result;
  LockSlot* slot = nullptr;
  int free_index = -1;
  result = FindLockSlot(handle, &slot, &free_index);
  if (result == ZARQ_OK) {
    *status = kLockedHere;
    *level = slot->level;
    return ZARQ_OK;
  }
  if (result != ZARQ_E_NOT_LOCKED) return result;
  result = QueryLockRecord(handle, status, level);
  if (result != ZARQ_OK || *status != kNotLocked || !IsCompositeHandle(handle)) return result;

  // A composite not locked itself tells how its components are.
  SecurityRecord record;
  result = AccessSecurityRecord(handle, &record, SecurityAccess::kRead);
  if (result != ZARQ_OK) return result;
  if (!record.composite) return ZARQ_E_INVALID_HANDLE;
  const uint8_t directory = DirectoryOfHandle(handle);
  for (uint32_t component : {record.primary_slot, record.secondary_slot}) {
    uint32_t component_status = 0, component_level = 0;
    result = GetSecurityLockedStatus(MakeSecurityHandle(directory, component, false),
                                     &component_status, &component_level);
    if (result != ZARQ_OK) return result;
    if (component_status == kNotLocked) continue;
    *status = component_status == kLockedHere ? kComponentLockedHere : kComponentLockedElsewhere;
    *level = component_level;
    return ZARQ_OK;
  }
  return ZARQ_OK;
}

int32_t GetLastFailedLockInfo(char* application, char* user, uint32_t* count, uint32_t* level) {
  std::string holder_application, holder_user;
  int32_t status = DescribeLastFailedLock(&holder_application, &holder_user, count, level);
  // The names come from a shared file: cut to what the caller's buffers hold.
  CopyBounded(application, kFailedNameLength + 1, holder_application.c_str());
  CopyBounded(user, kFailedNameLength + 1, holder_user.c_str());
  return status;
}

}  // namespace zarq
