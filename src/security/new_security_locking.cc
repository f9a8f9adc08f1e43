// new_security_locking.cc: the lock of a security being created and the
// holds on a new composite's components.
//
// Thread-safety: callers hold the library lock.

#include "src/security/new_security_locking.h"

#include <algorithm>
#include <cstring>

#include "src/directory/lock_file.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_table.h"
#include "src/fileio/record_lock.h"
#include "src/fileio/security_handle.h"
#include "src/master/security_info.h"
#include "src/master/text_rules.h"
#include "src/security/lock_table.h"
#include "src/security/security_locking.h"
#include "src/security/security_lookup.h"

namespace zarq {
namespace {

// The handle of the plain security symbol with the period and interval of
// info; -191 when there is none. A symbol left empty by cleaning names
// none (and draws no "INVALID<n>" number).
int32_t FindComponent(uint8_t directory, const ZarqSecurityInfo& info, const char* symbol,
                      uint32_t* handle) {
  *handle = 0;
  ZarqSecurityId id = {};
  id.Size = sizeof(id);
  id.DirNumber = directory;
  // Stored symbols are cleaned; so is the one looked for.
  CopyCleanText(id.Symbol, symbol, kSymbolLength);
  if (id.Symbol[0] == '\0') return ZARQ_E_NO_SUCH_SECURITY;
  id.Period = info.Period;
  id.Interval = info.Interval;
  return GetSecurityHandle(id, handle);
}

// Writes lock record n with only this user's mark at level, taking the
// record's range without waiting: ZARQ_E_RANGE_LOCKED and *busy when
// another process holds it.
int32_t TryWriteLockRecord(DirectoryEntry* entry, uint32_t n, uint8_t level, bool* busy) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenLockFile(entry, &file);
  if (status == ZARQ_OK)
    status = FileSeek(file, kLockRecordSize, static_cast<int32_t>(n), kSeekRecord);
  if (status == ZARQ_OK) status = FileLockRegion(file, kLockRegionNoWait, kLockRecordSize);
  if (status == ZARQ_E_RANGE_LOCKED) *busy = true;
  if (status != ZARQ_OK) return status;
  LockRecord record;
  record.level = level;
  record.SetUser(entry->user_record);
  status = WriteLockRecordAt(file, n, record);
  int32_t released = FileSeek(file, kLockRecordSize, static_cast<int32_t>(n), kSeekRecord);
  if (released == ZARQ_OK) released = FileLockRegion(file, kUnlockRegion, kLockRecordSize);
  return status != ZARQ_OK ? status : released;
}

// Takes this user's mark out of lock record n (freeing the record when no
// other is left). Its range is waited for: the record carries this
// process's FullLock, so whoever else holds the range finds a conflict and
// lets it go without reaching for the security list.
int32_t ClearOwnMark(DirectoryEntry* entry, uint32_t n) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenLockFile(entry, &file);
  RecordLock lock;
  if (status == ZARQ_OK) status = lock.Acquire(file, kLockRecordSize, n, kLockRecordSize);
  LockRecord record;
  if (status == ZARQ_OK) status = ReadLockRecord(file, n, &record);
  if (status != ZARQ_OK || !record.HasUser(entry->user_record)) return status;
  record.ClearUser(entry->user_record);
  if (!record.AnyUser()) record.level = 0;
  status = WriteLockRecordAt(file, n, record);
  int32_t released = lock.Release();
  return status != ZARQ_OK ? status : released;
}

}  // namespace

int32_t HoldComponents(uint8_t directory, const ZarqSecurityInfo& info, ComponentHolds* holds) {
  *holds = ComponentHolds{};
  if (info.Composite == 0) return ZARQ_OK;
  uint32_t primary = 0;
  uint32_t secondary = 0;
  int32_t status = FindComponent(directory, info, info.Symbol, &primary);
  if (status == ZARQ_E_NO_SUCH_SECURITY) return ZARQ_E_NO_PRIMARY;
  if (status != ZARQ_OK) return status;
  status = FindComponent(directory, info, info.Symbol2, &secondary);
  if (status == ZARQ_E_NO_SUCH_SECURITY) return ZARQ_E_NO_SECONDARY;
  if (status != ZARQ_OK) return status;
  if (SlotOfHandle(primary) == SlotOfHandle(secondary)) return ZARQ_E_SAME_COMPONENTS;
  status = LockComponent(primary, kReadLock);
  if (status != ZARQ_OK) return status;
  holds->primary = primary;
  status = LockComponent(secondary, kReadLock);
  if (status != ZARQ_OK) {
    ReleaseComponents(holds);
    return status;
  }
  holds->secondary = secondary;
  return ZARQ_OK;
}

int32_t ReleaseComponents(ComponentHolds* holds) {
  int32_t status = ZARQ_OK;
  for (uint32_t* handle : {&holds->primary, &holds->secondary}) {
    if (*handle == 0) continue;
    int32_t released = UnlockComponent(*handle);
    if (status == ZARQ_OK) status = released;
    *handle = 0;
  }
  return status;
}

int32_t LockNewSecurity(uint32_t handle, const ZarqSecurityInfo& info, uint32_t file_number,
                        const ComponentHolds& holds, bool* busy) {
  *busy = false;
  int32_t status = CheckSecurityHandle(handle);
  if (status != ZARQ_OK) return status;
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  if (entry->read_only()) return ZARQ_E_READ_ONLY_DIRECTORY;
  LockSlot* slot = nullptr;
  int free_index = -1;
  status = FindLockSlot(handle, &slot, &free_index);
  if (status == ZARQ_OK) return ZARQ_E_SECURITY_EXISTS;
  if (status != ZARQ_E_NOT_LOCKED) return status;
  if (free_index < 0) return ZARQ_E_LOCK_TABLE_FULL;

  uint32_t n = SlotOfHandle(handle);
  LockSlot fresh;
  status = InfoToRecord(n, holds.primary, holds.secondary, info, file_number, &fresh.record);
  if (status != ZARQ_OK) return status;
  status = TryWriteLockRecord(entry, n, kFullLock, busy);
  if (status != ZARQ_OK) return status;
  // The lock file's header is held by anyone for one read-modify-write
  // and nothing else, so it may be waited for here.
  LockFileHeader header;
  status = AccessLockHeader(entry, &header, HeaderAccess::kRead, true);
  if (status == ZARQ_OK) {
    header.record_count = std::max(header.record_count, n);
    status = AccessLockHeader(entry, &header, HeaderAccess::kWrite, false);
  }
  if (status != ZARQ_OK) {
    ClearOwnMark(entry, n);
    return status;
  }

  fresh.flags = kSlotInUse | kSlotExplicit;
  if (info.Composite != 0) {
    fresh.flags |= kSlotHoldsPrimary | kSlotHoldsSecondary;
    fresh.primary_handle = holds.primary;
    fresh.secondary_handle = holds.secondary;
  }
  fresh.handle = handle;
  fresh.directory = entry->number;
  fresh.level = kFullLock;
  fresh.nesting = 1;
  LockSlotAt(free_index) = fresh;
  return ZARQ_OK;
}

int32_t DiscardNewSecurity(uint32_t handle) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  uint32_t file_number = slot->record.file_number;
  *slot = LockSlot{};
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  FileCloseMatching(entry->number, file_number, kCloseDirectoryTag);
  return ClearOwnMark(entry, SlotOfHandle(handle));
}

}  // namespace zarq
