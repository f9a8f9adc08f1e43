// data_cursor.cc: reading and storing the data cursor of a lock slot.
//
// Thread-safety: callers hold the library lock.

#include "src/data/data_cursor.h"

#include "include/zarq.h"
#include "src/data/composite_seam.h"

namespace zarq {
namespace {

int32_t Slot(uint32_t handle, LockSlot** slot) {
  int free_index = -1;
  return FindLockSlot(handle, slot, &free_index);
}

}  // namespace

int32_t PeekCursor(uint32_t handle, DataCursor* cursor) {
  *cursor = DataCursor{};
  LockSlot* slot = nullptr;
  int32_t status = Slot(handle, &slot);
  if (status == ZARQ_OK) *cursor = slot->cursor;
  return status;
}

int32_t GetCursor(uint32_t handle, DataCursor* cursor) {
  *cursor = DataCursor{};
  LockSlot* slot = nullptr;
  int32_t status = Slot(handle, &slot);
  if (status != ZARQ_OK) return status;
  *cursor = slot->cursor;
  if (cursor->record != 0) return ZARQ_OK;
  if (slot->record.composite == 0) {
    // Left at 0, which every operation reads as 1: a backward read from an
    // unpositioned cursor finds nothing before it.
    cursor->record = 1;
    return ZARQ_OK;
  }
  *cursor = DataCursor{slot->start_position[0], slot->start_position[1]};
  return SetCursor(handle, *cursor);
}

int32_t SetCursor(uint32_t handle, DataCursor cursor) {
  LockSlot* slot = nullptr;
  int32_t status = Slot(handle, &slot);
  if (status != ZARQ_OK) return status;
  slot->cursor = cursor;
  if (slot->record.composite != 0) Composites().reset(handle, cursor);
  return ZARQ_OK;
}

int32_t SetCursorRecord(uint32_t handle, uint16_t record) {
  LockSlot* slot = nullptr;
  int32_t status = Slot(handle, &slot);
  return status == ZARQ_OK ? SetCursor(handle, DataCursor{record, slot->cursor.extra}) : status;
}

}  // namespace zarq
