// composite_locking.cc: a composite's lock with its components, and the
// common range of the components.
//
// Thread-safety: callers hold the library lock.

#include "src/security/composite_locking.h"

#include "include/zarq.h"
#include "src/format/price_codec.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

int32_t NoFind(uint32_t, int32_t*, int32_t*, uint16_t* recno, uint32_t) {
  *recno = 0;
  return ZARQ_E_IS_COMPOSITE;
}
bool NoStateFree() { return false; }
int32_t NoOpenState(uint32_t) { return ZARQ_E_LOCK_TABLE_FULL; }
void NoCloseState(uint32_t) {}

constinit CompositeDataHooks g_hooks = {&NoFind, &NoStateFree, &NoOpenState, &NoCloseState};

struct Moment {
  int32_t date = 0;
  int32_t time = 0;
};

// Range ends are compared as (date, time) pairs whatever the period: a
// security that keeps no times has 0 in both.
bool Before(const Moment& a, const Moment& b) {
  return CompareDateTime(a.date, a.time, b.date, b.time, true) < 0;
}

// The composite has no common moments: an empty range at start.
void SetEmptyRange(LockSlot* slot, const Moment& start) {
  SecurityRecord& record = slot->record;
  slot->record_count = 0;
  slot->start_position[0] = slot->start_position[1] = 0;
  record.first_date = record.last_date = start.date;
  record.first_time = record.last_time = start.time;
  slot->flags |= kSlotRecordChanged | kSlotCountChanged;
}

bool MeansNoOverlap(int32_t status) {
  return status == ZARQ_E_BEFORE_FIRST || status == ZARQ_E_AFTER_LAST || status == ZARQ_E_NO_DATA;
}

}  // namespace

CompositeDataHooks SetCompositeDataHooks(const CompositeDataHooks& hooks) {
  CompositeDataHooks previous = g_hooks;
  g_hooks = hooks;
  return previous;
}

int32_t LockCompositeSecurity(uint32_t handle, LockSlot* slot, uint8_t level) {
  // It has no data of its own to write.
  if (level == kWriteLock) return ZARQ_E_BAD_LOCK_MODE;
  const bool holds_components = level != kDefinitionLock;
  // Refused before any lock record is taken, so nothing needs undoing.
  if (holds_components && !g_hooks.state_free()) return ZARQ_E_LOCK_TABLE_FULL;
  int32_t status = LockSecurityRecord(handle, slot, level);
  if (status != ZARQ_OK) return status;
  slot->flags |= kSlotExplicit;
  if (!holds_components) return ZARQ_OK;
  // Components are only ever read through a composite, whatever its level.
  status = LockComponent(slot->primary_handle, kReadLock);
  if (status == ZARQ_OK) {
    slot->flags |= kSlotHoldsPrimary;
    status = LockComponent(slot->secondary_handle, kReadLock);
  }
  if (status == ZARQ_OK) {
    slot->flags |= kSlotHoldsSecondary;
    status = ComputeCompositeView(slot);
  }
  if (status == ZARQ_OK) status = g_hooks.open_state(handle);
  // The unlock gives back whatever was taken: components, state, record.
  if (status != ZARQ_OK) UnlockSecurity(handle);
  return status;
}

int32_t ComputeCompositeView(LockSlot* slot) {
  LockedSecurityView primary, secondary;
  int32_t status = GetLockedSecurity(slot->primary_handle, &primary);
  if (status == ZARQ_OK) status = GetLockedSecurity(slot->secondary_handle, &secondary);
  if (status != ZARQ_OK) return status;
  const SecurityRecord& p = primary.record;
  const SecurityRecord& s = secondary.record;
  SecurityRecord& record = slot->record;
  record.field_mask = static_cast<uint16_t>(p.field_mask & s.field_mask);
  record.start_time = p.start_time;
  record.end_time = p.end_time;

  Moment start = {p.first_date, p.first_time};
  if (Before(start, {s.first_date, s.first_time})) start = {s.first_date, s.first_time};
  // Two rounds of leapfrog bring both starts close to the first common
  // moment; reading pairs the records exactly.
  uint16_t p_start = 0, s_start = 0;
  for (int round = 0; round < 2 && status >= 0; ++round) {
    status = g_hooks.find(primary.handle, &start.date, &start.time, &p_start, 1);
    if (status >= 0) status = g_hooks.find(secondary.handle, &start.date, &start.time, &s_start, 1);
  }
  if (MeansNoOverlap(status)) {
    SetEmptyRange(slot, start);
    return ZARQ_OK;
  }
  if (status < 0) return status;

  // The range ends at the earlier of the two last moments.
  Moment end = {p.last_date, p.last_time};
  if (Before({s.last_date, s.last_time}, end)) end = {s.last_date, s.last_time};
  uint16_t p_end = 0;
  status = g_hooks.find(primary.handle, &end.date, &end.time, &p_end, 0);
  // An end before the start (the components only touch) is no range.
  if (MeansNoOverlap(status) || (status >= 0 && p_end < p_start)) {
    SetEmptyRange(slot, start);
    return ZARQ_OK;
  }
  if (status < 0) return status;
  slot->start_position[0] = p_start;
  slot->start_position[1] = s_start;
  slot->record_count = static_cast<uint16_t>(p_end - p_start + 1);
  record.first_date = start.date;
  record.first_time = start.time;
  record.last_date = end.date;
  record.last_time = end.time;
  slot->flags |= kSlotRecordChanged | kSlotCountChanged;
  return ZARQ_OK;
}

void CloseCompositeState(uint32_t handle) { g_hooks.close_state(handle); }

}  // namespace zarq
