// security_links.cc: list order and composite-user chains.
//
// Thread-safety: callers hold the library lock and the security list
// header lock.

#include "src/master/security_links.h"

#include "include/zarq.h"
#include "src/fileio/security_handle.h"
#include "src/master/locked_records.h"
#include "src/master/security_store.h"

namespace zarq {
namespace {

using ChainField = uint32_t SecurityRecord::*;

// Reads a record with the checks; a slot no handle can name (0, above
// 6000: a damaged link) is a missing security.
int32_t ReadRecord(uint8_t directory, uint32_t slot, SecurityRecord* record) {
  uint32_t handle = MakeSecurityHandle(directory, slot, false);
  if (handle == 0) return ZARQ_E_NO_SUCH_SECURITY;
  return AccessSecurityRecord(handle, record, SecurityAccess::kRead);
}

// Writes the link part of record into slot and lets a working copy of it
// follow.
int32_t WriteLinks(uint8_t directory, uint32_t slot, const SecurityRecord& record) {
  SecurityRecord copy = record;
  uint32_t handle = MakeSecurityHandle(directory, slot, false);
  if (handle == 0) return ZARQ_E_NO_SUCH_SECURITY;
  int32_t status = AccessSecurityRecord(handle, &copy, SecurityAccess::kWriteLinks);
  if (status == ZARQ_OK) {
    RefreshLockedLinks(MakeSecurityHandle(directory, slot, record.composite != 0), record);
  }
  return status;
}

// The link parts written so far by one change, to be put back when a later
// step fails.
class LinkUndo {
 public:
  explicit LinkUndo(uint8_t directory) : directory_(directory) {}

  void Note(uint32_t slot, const SecurityRecord& former) {
    if (count_ < kCapacity) {
      slots_[count_] = slot;
      former_[count_] = former;
      ++count_;
    }
  }

  // Writes the former link parts back, latest first. Best effort: the
  // failure being reported is the caller's.
  void Restore() {
    while (count_ > 0) {
      --count_;
      WriteLinks(directory_, slots_[count_], former_[count_]);
    }
  }

 private:
  static constexpr int kCapacity = 2;
  uint8_t directory_;
  int count_ = 0;
  uint32_t slots_[kCapacity] = {};
  SecurityRecord former_[kCapacity];
};

// Sets field of the record in slot to value, noting the former link part.
int32_t RelinkRecord(uint8_t directory, uint32_t slot, ChainField field, uint32_t value,
                     LinkUndo* undo) {
  SecurityRecord record;
  int32_t status = ReadRecord(directory, slot, &record);
  if (status != ZARQ_OK) return status;
  SecurityRecord former = record;
  record.*field = value;
  status = WriteLinks(directory, slot, record);
  if (status == ZARQ_OK) undo->Note(slot, former);
  return status;
}

// Appends user to the chain through field that starts in the record of
// start.
int32_t AppendToChain(uint8_t directory, uint32_t start, ChainField field, uint32_t user,
                      LinkUndo* undo) {
  uint32_t current = start;
  for (uint32_t step = 0; step <= kMaxSlots; ++step) {
    if (current == user) return ZARQ_OK;  // linked already: a second entry would loop
    SecurityRecord record;
    int32_t status = ReadRecord(directory, current, &record);
    if (status != ZARQ_OK) return status;
    if (record.*field == 0) {
      SecurityRecord former = record;
      record.*field = user;
      status = WriteLinks(directory, current, record);
      if (status == ZARQ_OK) undo->Note(current, former);
      return status;
    }
    current = record.*field;
  }
  return ZARQ_E_NO_SUCH_SECURITY;
}

// Replaces the link to user in the chain through field that starts in the
// record of start by replacement (the user's own successor).
int32_t SpliceFromChain(uint8_t directory, uint32_t start, ChainField field, uint32_t user,
                        uint32_t replacement, LinkUndo* undo) {
  uint32_t current = start;
  for (uint32_t step = 0; step <= kMaxSlots; ++step) {
    SecurityRecord record;
    int32_t status = ReadRecord(directory, current, &record);
    if (status != ZARQ_OK) return status;
    if (record.*field == user) {
      SecurityRecord former = record;
      record.*field = replacement;
      status = WriteLinks(directory, current, record);
      if (status == ZARQ_OK) undo->Note(current, former);
      return status;
    }
    if (record.*field == 0) return ZARQ_OK;
    current = record.*field;
  }
  return ZARQ_E_NO_SUCH_SECURITY;
}

}  // namespace

int32_t LinkSecurityRecord(uint8_t directory, SecurityListHeader* header, SecurityRecord* record,
                           uint32_t anchor) {
  const SecurityListHeader saved_header = *header;
  const uint32_t saved_prev = record->prev_slot;
  const uint32_t saved_next = record->next_slot;
  uint32_t anchor_slot = SlotOfHandle(anchor);
  bool before_anchor = false;
  // The new slot itself cannot be its own anchor (it is not in the list).
  if (anchor != 0 && DirectoryOfHandle(anchor) == directory && anchor_slot >= 1 &&
      anchor_slot <= header->slot_count && anchor_slot != record->slot) {
    SecurityRecord anchor_record;
    int32_t status = ReadRecord(directory, anchor_slot, &anchor_record);
    if (status != ZARQ_OK) return status;
    if (anchor_record.deleted == 0) {
      record->prev_slot = anchor_record.prev_slot;
      record->next_slot = anchor_slot;
      before_anchor = true;
    }
  }
  if (!before_anchor) {
    record->prev_slot = header->last_slot;
    record->next_slot = 0;
  }

  LinkUndo undo(directory);
  int32_t status = ZARQ_OK;
  if (record->prev_slot != 0) {
    status =
        RelinkRecord(directory, record->prev_slot, &SecurityRecord::next_slot, record->slot, &undo);
  } else {
    header->first_slot = record->slot;
  }
  if (status == ZARQ_OK) {
    if (record->next_slot != 0) {
      status = RelinkRecord(directory, record->next_slot, &SecurityRecord::prev_slot, record->slot,
                            &undo);
    } else {
      header->last_slot = record->slot;
    }
  }
  if (status == ZARQ_OK && record->composite != 0) status = AddCompositeUser(directory, *record);
  if (status != ZARQ_OK) {
    undo.Restore();
    *header = saved_header;
    record->prev_slot = saved_prev;
    record->next_slot = saved_next;
  }
  return status;
}

int32_t UnlinkDeletedRecord(uint32_t handle, SecurityListHeader* header) {
  SecurityRecord record;
  int32_t status = AccessSecurityRecord(handle, &record, SecurityAccess::kRead);
  if (status != ZARQ_OK || record.deleted == 0) return status;
  uint8_t directory = DirectoryOfHandle(handle);
  const SecurityListHeader saved_header = *header;

  LinkUndo undo(directory);
  if (record.prev_slot != 0) {
    status = RelinkRecord(directory, record.prev_slot, &SecurityRecord::next_slot, record.next_slot,
                          &undo);
  } else {
    header->first_slot = record.next_slot;
  }
  if (status == ZARQ_OK) {
    if (record.next_slot != 0) {
      status = RelinkRecord(directory, record.next_slot, &SecurityRecord::prev_slot,
                            record.prev_slot, &undo);
    } else {
      header->last_slot = record.prev_slot;
    }
  }
  if (status != ZARQ_OK) {
    undo.Restore();
    *header = saved_header;
  }
  return status;
}

int32_t UnlinkNewRecord(uint8_t directory, const SecurityRecord& record) {
  // Best effort, every step tried: the failure being undone is the
  // caller's, and each step left standing would leave a link to a slot
  // that was never written.
  LinkUndo ignored(directory);
  int32_t status = ZARQ_OK;
  auto keep_first = [&status](int32_t step) {
    if (status == ZARQ_OK) status = step;
  };
  if (record.prev_slot != 0) {
    keep_first(RelinkRecord(directory, record.prev_slot, &SecurityRecord::next_slot,
                            record.next_slot, &ignored));
  }
  if (record.next_slot != 0) {
    keep_first(RelinkRecord(directory, record.next_slot, &SecurityRecord::prev_slot,
                            record.prev_slot, &ignored));
  }
  if (record.composite != 0) {
    keep_first(SpliceFromChain(directory, record.primary_slot, &SecurityRecord::next_primary_user,
                               record.slot, record.next_primary_user, &ignored));
    keep_first(SpliceFromChain(directory, record.secondary_slot,
                               &SecurityRecord::next_secondary_user, record.slot,
                               record.next_secondary_user, &ignored));
  }
  return status;
}

int32_t RelinkDeletedRecord(uint8_t directory, const SecurityRecord& record) {
  LinkUndo ignored(directory);
  int32_t status = ZARQ_OK;
  if (record.prev_slot != 0) {
    status = RelinkRecord(directory, record.prev_slot, &SecurityRecord::next_slot, record.slot,
                          &ignored);
  }
  if (record.next_slot != 0) {
    int32_t relinked = RelinkRecord(directory, record.next_slot, &SecurityRecord::prev_slot,
                                    record.slot, &ignored);
    if (status == ZARQ_OK) status = relinked;
  }
  return status;
}

int32_t AddCompositeUser(uint8_t directory, const SecurityRecord& composite) {
  LinkUndo undo(directory);
  int32_t status = AppendToChain(directory, composite.primary_slot,
                                 &SecurityRecord::next_primary_user, composite.slot, &undo);
  if (status == ZARQ_OK) {
    status = AppendToChain(directory, composite.secondary_slot,
                           &SecurityRecord::next_secondary_user, composite.slot, &undo);
  }
  if (status != ZARQ_OK) undo.Restore();
  return status;
}

int32_t RemoveCompositeUser(uint8_t directory, const SecurityRecord& composite) {
  if (composite.composite == 0) return ZARQ_OK;
  SecurityRecord stored;
  int32_t status = ReadRecord(directory, composite.slot, &stored);
  if (status != ZARQ_OK) return status;
  LinkUndo undo(directory);
  status = SpliceFromChain(directory, stored.primary_slot, &SecurityRecord::next_primary_user,
                           composite.slot, stored.next_primary_user, &undo);
  if (status == ZARQ_OK) {
    status = SpliceFromChain(directory, stored.secondary_slot, &SecurityRecord::next_secondary_user,
                             composite.slot, stored.next_secondary_user, &undo);
  }
  if (status != ZARQ_OK) undo.Restore();
  return status;
}

}  // namespace zarq
