// date_search.cc: the search of a data file by moment.
//
// Thread-safety: callers hold the library lock.

#include "src/data/date_search.h"

#include "include/zarq.h"
#include "src/data/composite_seam.h"
#include "src/data/data_cursor.h"

namespace zarq {

int32_t FindRecord(uint32_t handle, int32_t* date, int32_t* time, uint16_t* recno, uint32_t mode,
                   bool set_cursor) {
  *recno = 0;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  if (!data.timed) *time = 0;
  if (data.composite()) return Composites().find(handle, date, time, mode, set_cursor);
  DataCursor cursor;
  status = GetCursor(handle, &cursor);
  if (status != ZARQ_OK) return status;
  if (data.count() == 0) return ZARQ_E_NO_DATA;

  Moment target{*date, *time};
  uint16_t hint = cursor.record;
  if (CompareMoments(target, data.first(), data.timed) < 0) {
    if (mode != kFindAtOrAfter) return ZARQ_E_BEFORE_FIRST;
    hint = 1;
  } else if (CompareMoments(target, data.last(), data.timed) > 0) {
    if (mode != kFindAtOrBefore) return ZARQ_E_AFTER_LAST;
    hint = data.count();
  }
  status = SearchDataFile(data, &target, mode, hint, recno);
  if (status != ZARQ_OK && status != ZARQ_NEAR_MATCH) return status;
  *date = target.date;
  *time = data.timed ? target.time : 0;
  if (set_cursor) {
    int32_t stored = SetCursorRecord(handle, *recno);
    if (stored != ZARQ_OK) return stored;
  }
  return status;
}

int32_t SearchDataFile(const LockedData& data, Moment* target, uint32_t mode, uint16_t hint,
                       uint16_t* recno) {
  *recno = 0;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenDataFile(data, &file);
  if (status != ZARQ_OK) return status;
  // The first record at or after the target lies in lo..hi + 1; below and
  // above hold the moments of records lo - 1 and hi + 1 once probed.
  uint32_t lo = 1;
  uint32_t hi = data.count();
  Moment below, above;
  bool from_hint = hint >= lo && hint <= hi;
  uint32_t probe = from_hint ? hint : lo + (hi - lo) / 2;
  while (lo <= hi) {
    Moment moment;
    status = ReadMoment(data, file, probe, &moment);
    if (status != ZARQ_OK) return status;
    bool at_or_after = CompareMoments(moment, *target, data.timed) >= 0;
    if (at_or_after) {
      above = moment;
      hi = probe - 1;
    } else {
      below = moment;
      lo = probe + 1;
    }
    // A cursor at (or just after) the moment sought is usually the answer:
    // its neighbour before settles it.
    probe = from_hint && at_or_after && hi >= lo ? hi : lo + (hi - lo) / 2;
    from_hint = false;
  }
  if (lo <= data.count() && CompareMoments(above, *target, data.timed) == 0) {
    *recno = static_cast<uint16_t>(lo);
    return ZARQ_OK;
  }
  if (mode == kFindAtOrAfter) {
    if (lo > data.count()) return ZARQ_E_AFTER_LAST;
    *recno = static_cast<uint16_t>(lo);
    *target = above;
    return ZARQ_NEAR_MATCH;
  }
  if (mode == kFindAtOrBefore) {
    if (lo == 1) return ZARQ_E_BEFORE_FIRST;
    *recno = static_cast<uint16_t>(lo - 1);
    *target = below;
    return ZARQ_NEAR_MATCH;
  }
  return ZARQ_E_NO_EXACT_RECORD;
}

}  // namespace zarq
