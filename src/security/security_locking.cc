// security_locking.cc: taking and giving up the lock of a security: the
// lock-file record under its byte-range lock, the working copy loaded at
// lock and written back at unlock, and a composite's holds on its
// components.
//
// Thread-safety: callers hold the library lock.

#include "src/security/security_locking.h"

#include <string>
#include <utility>

#include "include/zarq.h"
#include "src/directory/directory_users.h"
#include "src/directory/lock_file.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/record_lock.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"
#include "src/master/format_levels.h"
#include "src/master/security_store.h"
#include "src/platform/no_destructor.h"
#include "src/security/composite_locking.h"

namespace zarq {
namespace {

constexpr uint16_t kLongDataCount = 32766;

FailedLock& Failed() {
  static NoDestructor<FailedLock> failed;
  return *failed;
}

void SetLastFailedLock(uint8_t directory, uint8_t level, uint16_t holders, uint16_t holder) {
  Failed() = {directory, level, static_cast<uint16_t>(holders > 1 ? 0 : holder), holders};
}

bool IsKnownLevel(uint8_t level) { return level == 0 || IsLockLevel(level); }

// The lock record n of the directory under its byte-range lock, as long
// as the object lives.
class HeldLockRecord {
 public:
  int32_t Acquire(DirectoryEntry* entry, uint32_t n) {
    LockFileHeader header;
    int32_t status = AccessLockHeader(entry, &header, HeaderAccess::kRead, false);
    if (status != ZARQ_OK) return status;
    if (n == 0 || n > header.record_count) return ZARQ_E_NO_SUCH_SECURITY;
    status = OpenLockFile(entry, &file_);
    if (status == ZARQ_OK) status = lock_.Acquire(file_, kLockRecordSize, n, kLockRecordSize);
    if (status == ZARQ_OK) status = ReadLockRecord(file_, n, &record);
    n_ = n;
    return status;
  }
  int32_t Write() { return WriteLockRecordAt(file_, n_, record); }

  LockRecord record;

 private:
  FileHandle file_ = kNoFileHandle;
  uint32_t n_ = 0;
  RecordLock lock_;
};

// Loads the working copy of the security into its slot (already in use):
// the record, the record count and the first and last moments from the
// data file (made anew, empty, when it is missing).
int32_t LoadLockedSecurity(uint32_t handle, LockSlot* slot) {
  SecurityRecord& record = slot->record;
  int32_t status = AccessSecurityRecord(handle, &record, SecurityAccess::kRead);
  if (status != ZARQ_OK || record.deleted) return status;
  if (!record.composite) {
    // Another process may have replaced the data file since this one last
    // cached a handle of that name: the lock reads the file the name holds
    // now.
    std::string name;
    status = BuildSecurityFileName(handle, &name, kKindData);
    if (status == ZARQ_OK) status = FileCloseNamed(slot->directory, name);
    if (status != ZARQ_OK) return status;
  }
  slot->primary_handle = MakeSecurityHandle(slot->directory, record.primary_slot, false);
  slot->secondary_handle = MakeSecurityHandle(slot->directory, record.secondary_slot, false);
  uint16_t count = 0;
  bool repaired = false;
  status = ReadDataRecordCount(handle, &count, record.field_mask, &repaired);
  if (status == ZARQ_OK && repaired) slot->flags |= kSlotRecordChanged | kSlotCountChanged;
  if (status == ZARQ_E_FILE_NOT_FOUND) {
    status = CreateDataFile(handle);
    if (!record.composite) {
      record.first_time = record.last_time = 0;
      record.last_date = record.base_date = record.first_date;
      record.extra_date = 0;
      record.extra_value = 0;
      slot->flags |= kSlotRecordChanged;
    }
    count = 0;
  }
  if (status != ZARQ_OK || record.composite) return status;
  slot->record_count = count;
  if (count > 0) {
    ZarqPriceRecord price;
    status = ReadDataRecord(handle, 1, &price);
    if (status != ZARQ_OK) return status;
    record.first_date = price.Date;
    record.first_time = price.Time;
    if (repaired) record.base_date = record.first_date;
    status = ReadDataRecord(handle, count, &price);
    if (status != ZARQ_OK) return status;
    record.last_date = price.Date;
    record.last_time = price.Time;
  }
  slot->cursor = DataCursor{};
  return ZARQ_OK;
}

// Writes the working copy back: the record count to the data file, the
// record (with its long-data mark following the count) to the list file.
int32_t WriteBack(uint32_t handle, LockSlot* slot) {
  SecurityRecord& record = slot->record;
  uint8_t long_data = slot->record_count > kLongDataCount ? 1 : 0;
  if ((slot->flags & kSlotCountChanged) && record.long_data_flag != long_data) {
    slot->flags |= kSlotRecordChanged;
  }
  if (slot->flags & kSlotCountChanged) {
    int32_t status = WriteDataRecordCount(handle, slot->record_count);
    if (status != ZARQ_OK) return status;
    slot->flags &= ~kSlotCountChanged;
  }
  if (slot->flags & kSlotRecordChanged) {
    record.long_data_flag = long_data;
    int32_t status = AccessSecurityRecord(handle, &record, SecurityAccess::kWriteData);
    if (status != ZARQ_OK) return status;
    slot->flags &= ~kSlotRecordChanged;
  }
  return ZARQ_OK;
}

}  // namespace

int32_t LockSecurityRecord(uint32_t handle, LockSlot* slot, uint8_t level) {
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  HeldLockRecord held;
  int32_t status = held.Acquire(entry, SlotOfHandle(handle));
  if (status != ZARQ_OK) return status;
  LockRecord& record = held.record;
  if (!IsKnownLevel(record.level)) return ZARQ_E_BAD_LOCK_MODE;
  // Only as itself may this process set its bit: after a takeover by a
  // process of the same identity, that bit is the other's.
  status = VerifyUserRecord(entry);
  if (status != ZARQ_OK) return status;
  uint16_t own = entry->user_record;
  bool shared = record.level == kReadLock && level == kReadLock;
  uint8_t granted = record.level;
  if (record.level == 0) {
    granted = level;
  } else if (!shared) {
    // A bit of this user left from earlier is its own lock, but grants no
    // more than the record holds, unless no one else holds it.
    bool alone = record.HasUser(own) && record.CountUsers() == 1;
    if (record.HasUser(own) && (record.level >= level || alone)) {
      granted = std::max<uint8_t>(record.level, level);
    } else {
      SetLastFailedLock(entry->number, record.level, static_cast<uint16_t>(record.CountUsers()),
                        record.FirstUser());
      return ZARQ_E_LOCK_CONFLICT;
    }
  }

  *slot = LockSlot{};
  slot->flags = kSlotInUse;
  slot->directory = entry->number;
  slot->handle = handle;
  slot->level = granted;
  slot->nesting = 1;
  status = LoadLockedSecurity(handle, slot);
  if (status == ZARQ_OK && slot->record.deleted) status = ZARQ_E_NO_SUCH_SECURITY;
  if (status == ZARQ_OK && (slot->record.composite != 0) != IsCompositeHandle(handle)) {
    status = ZARQ_E_INVALID_HANDLE;
  }
  if (status == ZARQ_OK) {
    record.level = granted;
    record.SetUser(own);
    status = held.Write();
  }
  if (status != ZARQ_OK) *slot = LockSlot{};
  return status;
}

int32_t UnlockSecurityRecord(uint32_t handle, LockSlot* slot) {
  DirectoryEntry* entry = FindDirectory(slot->directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  uint32_t file_number = slot->record.file_number;
  int32_t status = ZARQ_OK;
  if (slot->nesting >= 2) {
    --slot->nesting;
  } else {
    HeldLockRecord held;
    status = held.Acquire(entry, SlotOfHandle(handle));
    // Only as itself, and only while the record still counts it, may this
    // process write anything: a process of the same identity that took its
    // user record over may hold the security now.
    if (status == ZARQ_OK) status = VerifyUserRecord(entry);
    if (status == ZARQ_OK && !held.record.HasUser(entry->user_record)) {
      *slot = LockSlot{};
      status = ZARQ_E_NOT_LOCKED;
    }
    bool writes = !entry->read_only() && (slot->level >= kWriteLock || slot->record.composite);
    if (status == ZARQ_OK && writes) status = WriteBack(handle, slot);
    // The list's format level follows a record that may have changed; a
    // read lock changed none.
    if (status == ZARQ_OK && writes) RaiseFormatLevel(entry->number, slot->record);
    if (status == ZARQ_OK) {
      held.record.ClearUser(entry->user_record);
      if (!held.record.AnyUser()) held.record.level = 0;
      status = held.Write();
      if (status == ZARQ_OK) *slot = LockSlot{};
    }
  }
  FileCloseMatching(entry->number, file_number, kCloseDirectoryTag);
  return status;
}

int32_t StoreLockedSecurity(uint32_t handle) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  DirectoryEntry* entry = FindDirectory(slot->directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (entry->read_only() || slot->level < kWriteLock) return ZARQ_OK;
  HeldLockRecord held;
  status = held.Acquire(entry, SlotOfHandle(handle));
  if (status == ZARQ_OK) status = VerifyUserRecord(entry);
  if (status == ZARQ_OK && !held.record.HasUser(entry->user_record)) status = ZARQ_E_NOT_LOCKED;
  return status == ZARQ_OK ? WriteBack(slot->handle, slot) : status;
}

int32_t CheckSecurityHandle(uint32_t handle) {
  if (!IsWellFormedHandle(handle)) return ZARQ_E_INVALID_HANDLE;
  return FindDirectory(DirectoryOfHandle(handle)) != nullptr ? ZARQ_OK : ZARQ_E_DIRECTORY_NOT_OPEN;
}

int32_t LockSecurity(uint32_t handle, uint32_t level) {
  int32_t status = CheckSecurityHandle(handle);
  if (status != ZARQ_OK) return status;
  if (!IsLockLevel(level)) return ZARQ_E_BAD_LOCK_MODE;
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
  if (entry->read_only() && level > kReadLock) return ZARQ_E_READ_ONLY_DIRECTORY;
  LockSlot* slot = nullptr;
  int free_index = -1;
  status = FindLockSlot(handle, &slot, &free_index);
  if (status == ZARQ_OK) {
    // A component held for a composite joins an explicit read lock.
    if ((slot->flags & (kSlotImplicit | kSlotExplicit)) == kSlotImplicit && level <= slot->level &&
        level <= kReadLock) {
      slot->flags |= kSlotExplicit;
      ++slot->nesting;
      return ZARQ_OK;
    }
    SetLastFailedLock(entry->number, slot->level, 1, entry->user_record);
    return ZARQ_E_LOCK_CONFLICT;
  }
  if (status != ZARQ_E_NOT_LOCKED) return status;
  if (free_index < 0) return ZARQ_E_LOCK_TABLE_FULL;
  slot = &LockSlotAt(free_index);
  if (IsCompositeHandle(handle)) {
    // A composite's own record decides whether the handle names it.
    SecurityRecord record;
    status = AccessSecurityRecord(handle, &record, SecurityAccess::kRead);
    if (status != ZARQ_OK) return status;
    if (!record.composite) return ZARQ_E_INVALID_HANDLE;
    return LockCompositeSecurity(handle, slot, static_cast<uint8_t>(level));
  }
  status = LockSecurityRecord(handle, slot, static_cast<uint8_t>(level));
  if (status == ZARQ_OK) slot->flags |= kSlotExplicit;
  return status;
}

int32_t UnlockSecurity(uint32_t handle) {
  int32_t status = CheckSecurityHandle(handle);
  if (status != ZARQ_OK) return status;
  LockSlot* slot = nullptr;
  int free_index = -1;
  status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  if (!(slot->flags & kSlotExplicit)) return ZARQ_E_NOT_LOCKED;
  // A composite's holds on its components end with its own slot, and only
  // then: a failed write-back keeps the composite locked, and so its range.
  const LockSlot held = *slot;
  status = UnlockSecurityRecord(slot->handle, slot);
  if (status == ZARQ_OK && slot->in_use()) slot->flags &= ~kSlotExplicit;
  if (slot->in_use()) return status;
  if (held.record.composite) CloseCompositeState(held.handle);
  for (auto [flag, component] : {std::pair{kSlotHoldsPrimary, held.primary_handle},
                                 std::pair{kSlotHoldsSecondary, held.secondary_handle}}) {
    if (!(held.flags & flag)) continue;
    int32_t released = UnlockComponent(component);
    if (status == ZARQ_OK) status = released;
  }
  return status;
}

int32_t LockComponent(uint32_t handle, uint8_t level) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status == ZARQ_OK) {
    if (slot->level <= kReadLock) {
      slot->flags |= kSlotImplicit;
      ++slot->nesting;
      return ZARQ_OK;
    }
    if (slot->level == kDefinitionLock) return ZARQ_E_BAD_LOCK_MODE;
    DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
    SetLastFailedLock(entry->number, slot->level, 1, entry->user_record);
    return ZARQ_E_LOCK_CONFLICT;
  }
  if (status != ZARQ_E_NOT_LOCKED) return status;
  if (free_index < 0) return ZARQ_E_LOCK_TABLE_FULL;
  slot = &LockSlotAt(free_index);
  status = LockSecurityRecord(handle, slot, level);
  if (status == ZARQ_OK) slot->flags |= kSlotImplicit;
  return status;
}

int32_t UnlockComponent(uint32_t handle) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  status = UnlockSecurityRecord(slot->handle, slot);
  // Left with the caller's own explicit lock alone, it is held implicitly
  // no more.
  if (status == ZARQ_OK && slot->in_use() && slot->nesting < 2 && (slot->flags & kSlotExplicit)) {
    slot->flags &= ~kSlotImplicit;
  }
  return status;
}

bool UnlockDirectorySlots(DirectoryEntry* entry) {
  bool dropped = false;
  for (int i = 0; i < kLockSlotCount; ++i) {
    LockSlot& slot = LockSlotAt(i);
    if (!slot.in_use() || slot.directory != entry->number) continue;
    const uint32_t handle = slot.handle;
    const bool composite = slot.record.composite != 0;
    if (!entry->Has(kDirRegistrationLost)) {
      slot.nesting = 1;
      UnlockSecurityRecord(handle, &slot);
    }
    if (slot.in_use()) {
      slot = LockSlot{};
      dropped = true;
    }
    if (composite) CloseCompositeState(handle);
  }
  return dropped;
}

const FailedLock& LastFailedLock() { return Failed(); }

}  // namespace zarq
