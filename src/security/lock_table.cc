// lock_table.cc: the LockTable, its lookups and working-copy editors, and
// the answers it gives the lower layers about locked securities.
//
// Thread-safety: callers hold the library lock.

#include "src/security/lock_table.h"

#include <array>
#include <cstring>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/format/field_mask.h"
#include "src/frame/ascii_text.h"
#include "src/master/locked_records.h"
#include "src/platform/no_destructor.h"

namespace zarq {
namespace {

constexpr uint16_t kMaxCachedCount = 65501;

std::array<LockSlot, kLockSlotCount>& Table() {
  static NoDestructor<std::array<LockSlot, kLockSlotCount>> table;
  return *table;
}

bool SameSecurity(const LockSlot& slot, uint32_t handle) {
  return slot.directory == DirectoryOfHandle(handle) &&
         SlotOfHandle(slot.handle) == SlotOfHandle(handle);
}

// The lower layers' questions about a locked security.
int32_t FetchFacts(uint32_t handle, SecurityFileFacts* facts) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  const SecurityRecord& record = slot->record;
  facts->file_number = record.file_number;
  facts->primary_file_number = record.primary_file_number;
  facts->secondary_file_number = record.secondary_file_number;
  facts->composite = record.composite != 0;
  facts->field_mask = record.field_mask;
  facts->record_size = static_cast<uint16_t>(StoredRecordSize(record.field_mask));
  return ZARQ_OK;
}

int32_t LockedRecord(uint32_t handle, SecurityRecord* record) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status == ZARQ_OK) *record = slot->record;
  return status;
}

void RefreshLinks(uint32_t handle, const SecurityRecord& record) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  if (FindLockSlot(handle, &slot, &free_index) != ZARQ_OK) return;
  SecurityRecord& copy = slot->record;
  copy.primary_slot = record.primary_slot;
  copy.secondary_slot = record.secondary_slot;
  copy.prev_slot = record.prev_slot;
  copy.next_slot = record.next_slot;
  copy.next_primary_user = record.next_primary_user;
  copy.next_secondary_user = record.next_secondary_user;
}

}  // namespace

bool IsLockLevel(uint32_t level) {
  return level == kReadLock || level == kWriteLock || level == kDefinitionLock ||
         level == kFullLock;
}

LockSlot& LockSlotAt(int index) { return Table()[index]; }

int32_t FindLockSlot(uint32_t handle, LockSlot** slot, int* free_index) {
  *slot = nullptr;
  *free_index = -1;
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(handle));
  if (entry != nullptr && entry->Has(kDirRegistrationLost)) return ZARQ_E_REGISTRATION_LOST;
  for (int i = 0; i < kLockSlotCount; ++i) {
    LockSlot& candidate = Table()[i];
    if (!candidate.in_use()) {
      if (*free_index < 0) *free_index = i;
    } else if (*slot == nullptr && SameSecurity(candidate, handle)) {
      *slot = &candidate;
    }
  }
  if (*slot == nullptr) return ZARQ_E_NOT_LOCKED;
  // A handle names the security as it is: a composite flag its record
  // does not have (or lacks) makes it no handle of this security.
  if (IsCompositeHandle(handle) != ((*slot)->record.composite != 0)) {
    *slot = nullptr;
    return ZARQ_E_INVALID_HANDLE;
  }
  return ZARQ_OK;
}

int32_t RequireLockLevel(uint32_t handle, uint8_t level) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  return slot->level < level ? ZARQ_E_LOCK_TOO_WEAK : ZARQ_OK;
}

int32_t GetLockedSecurity(uint32_t handle, LockedSecurityView* view) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  view->level = slot->level;
  view->record_count = slot->record_count;
  view->start_position[0] = slot->start_position[0];
  view->start_position[1] = slot->start_position[1];
  view->handle = slot->handle;
  view->primary_handle = slot->primary_handle;
  view->secondary_handle = slot->secondary_handle;
  view->record = slot->record;
  return ZARQ_OK;
}

int32_t UpdateLockedSecurity(uint32_t handle, const LockedSecurityView& view) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  if (slot->level < kWriteLock) return ZARQ_OK;
  if (view.record_count != slot->record_count && view.record_count < kMaxCachedCount) {
    slot->record_count = view.record_count;
    slot->flags |= kSlotCountChanged;
  }
  if (view.record == slot->record) return ZARQ_OK;
  slot->flags |= kSlotRecordChanged;
  SecurityRecord& copy = slot->record;
  const SecurityRecord& from = view.record;
  CopyBounded(copy.name, sizeof(copy.name), from.name);
  copy.extra_code = from.extra_code;
  copy.field_mask = from.field_mask;
  copy.primary_factor = from.primary_factor;
  copy.secondary_factor = from.secondary_factor;
  copy.base_date = from.base_date;
  copy.first_date = from.first_date;
  copy.first_time = from.first_time;
  copy.last_date = from.last_date;
  copy.last_time = from.last_time;
  copy.start_time = from.start_time;
  copy.end_time = from.end_time;
  copy.extra_date = from.extra_date;
  copy.extra_value = from.extra_value;
  copy.flagged = from.flagged;
  copy.long_data_flag = from.long_data_flag;
  return ZARQ_OK;
}

int32_t MarkLockedSecurityDeleted(uint32_t handle) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  if (slot->level < kDefinitionLock) return ZARQ_OK;
  slot->flags = (slot->flags & ~kSlotCountChanged) | kSlotRecordChanged;
  slot->record.deleted = 1;
  return ZARQ_OK;
}

int32_t UpdateLockedSecurityLinks(uint32_t handle, const SecurityRecord& record) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status == ZARQ_E_NOT_LOCKED) return ZARQ_OK;
  if (status != ZARQ_OK) return status;
  if (slot->level >= kDefinitionLock) RefreshLinks(handle, record);
  return ZARQ_OK;
}

int32_t UpdateLockedSecuritySymbol(uint32_t handle, const char* symbol) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status != ZARQ_OK) return status;
  slot->flags |= kSlotRecordChanged;
  CopyBounded(slot->record.symbol, sizeof(slot->record.symbol), symbol);
  return ZARQ_OK;
}

int32_t MarkLockedSecurityStored(uint32_t handle) {
  LockSlot* slot = nullptr;
  int free_index = -1;
  int32_t status = FindLockSlot(handle, &slot, &free_index);
  if (status == ZARQ_OK) slot->flags &= ~(kSlotRecordChanged | kSlotCountChanged);
  return status;
}

// The lower layers ask this table from the start (nothing is locked while
// the table is empty).
struct InstallAnswers {
  InstallAnswers() {
    SetSecurityFactsFetcher(&FetchFacts);
    SetLockedRecordHooks({&LockedRecord, &RefreshLinks});
  }
} const kInstallAnswers;

int32_t AllocateLockTable() {
  Table().fill(LockSlot{});
  return ZARQ_OK;
}

void FreeLockTable() { Table().fill(LockSlot{}); }

}  // namespace zarq
