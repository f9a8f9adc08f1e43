// lock_table.h: the securities this process holds locked (the LockTable of
// 24 slots), each slot also the process's working copy of its security:
// the security record, the count of price records, and the data cursor.
// Price data operations find their security here and nowhere else; the
// working copy reaches the files when the security is unlocked.
//
// A slot belongs to one security: it is matched by directory and slot
// number, whatever else a handle carries. The lower layers ask this table
// about locked securities through hooks it installs when the library
// starts (src/fileio/security_files.h, src/master/locked_records.h).
//
// Thread-safety: callers hold the library lock; the table is the
// process's own.

#ifndef ZARQ_SRC_SECURITY_LOCK_TABLE_H_
#define ZARQ_SRC_SECURITY_LOCK_TABLE_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

inline constexpr int kLockSlotCount = 24;

// Lock levels, weakest first.
enum LockLevel : uint8_t {
  kReadLock = 16,
  kWriteLock = 32,
  kDefinitionLock = 127,
  kFullLock = 128,
};

// Whether level is one of the four.
bool IsLockLevel(uint32_t level);

// Slot flags.
enum LockSlotFlags : uint32_t {
  kSlotInUse = 0x01,
  kSlotRecordChanged = 0x02,   // the record is written back at unlock
  kSlotCountChanged = 0x04,    // the record count is written to the data file at unlock
  kSlotExplicit = 0x08,        // held by an explicit lock
  kSlotImplicit = 0x10,        // held as a component of a composite locked here
  kSlotHoldsPrimary = 0x20,    // a composite holding its primary component
  kSlotHoldsSecondary = 0x40,  // a composite holding its secondary component
};

// The data cursor of a locked security (the read and write position).
struct DataCursor {
  uint16_t record = 0;
  uint16_t extra = 0;
};

struct LockSlot {
  uint32_t flags = 0;
  uint32_t handle = 0;
  uint32_t primary_handle = 0;
  uint32_t secondary_handle = 0;
  uint8_t directory = 0;
  uint8_t level = 0;    // the lock record's level when the slot was taken
  uint8_t nesting = 0;  // holds: an explicit lock plus implicit component holds
  uint16_t record_count = 0;
  uint16_t start_position[2] = {};  // composites: where the common range starts
  DataCursor cursor;
  SecurityRecord record;

  bool in_use() const { return (flags & kSlotInUse) != 0; }
};

// What data operations work on: a copy of a slot's working copy.
struct LockedSecurityView {
  uint8_t level = 0;
  uint16_t record_count = 0;
  uint16_t start_position[2] = {};
  uint32_t handle = 0;
  uint32_t primary_handle = 0;
  uint32_t secondary_handle = 0;
  SecurityRecord record;
};

// The slot of handle's security (matched by directory and slot number) in
// *slot, or -320 when this process holds it in no slot; *free_index is the
// lowest free slot (-1 when none). -363 when the handle's directory has
// lost its registration; -167 when the handle's composite flag is not the
// locked record's.
int32_t FindLockSlot(uint32_t handle, LockSlot** slot, int* free_index);

// The slot at index (0..23).
LockSlot& LockSlotAt(int index);

// 0 when this process holds handle's security at level or above; -319 at a
// weaker level; the failures of FindLockSlot.
int32_t RequireLockLevel(uint32_t handle, uint8_t level);

int32_t GetLockedSecurity(uint32_t handle, LockedSecurityView* view);

// The working-copy editors of the operations that change a locked
// security (they take effect at unlock):
// - the record count and the fields a data change touches, at level 32 or
//   more (nothing below);
int32_t UpdateLockedSecurity(uint32_t handle, const LockedSecurityView& view);
// - the record marked deleted, at level 127 or more: the unlock writes the
//   deleted record and no record count;
int32_t MarkLockedSecurityDeleted(uint32_t handle);
// - the link part, after another security's deletion changed the links
//   (0 for a security not locked here; nothing below level 127);
int32_t UpdateLockedSecurityLinks(uint32_t handle, const SecurityRecord& record);
// - the symbol, after an update renamed it;
int32_t UpdateLockedSecuritySymbol(uint32_t handle, const char* symbol);
// - nothing left to write: the caller has written the working copy to the
//   files itself (a deletion, whose header change may leave the slot
//   beyond the list), so the unlock writes no record and no count.
int32_t MarkLockedSecurityStored(uint32_t handle);

// Starts and stops the table (process part), and installs the answers the
// lower layers ask of locked securities.
int32_t AllocateLockTable();
void FreeLockTable();

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_LOCK_TABLE_H_
