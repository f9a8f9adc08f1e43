// range_reading.cc: backward, date-bounded and counted reads.
//
// Thread-safety: callers hold the library lock.

#include "src/data/range_reading.h"

#include <algorithm>

#include "src/data/composite_seam.h"
#include "src/data/data_cursor.h"
#include "src/data/date_search.h"
#include "src/data/locked_data.h"
#include "src/data/record_reading.h"
#include "src/fileio/file_table.h"
#include "src/format/data_file.h"

namespace zarq {
namespace {

bool BadCount(uint16_t count) { return count == 0 || count > kMaxMultipleRecords; }

// The record FindRecord finds for a copy of pair (the cursor unmoved).
int32_t FindWithoutMoving(uint32_t handle, const ZarqDateTimePair& pair, uint32_t mode,
                          uint16_t* recno) {
  ZarqDateTimePair target = pair;
  return FindRecord(handle, &target.Date, &target.Time, recno, mode, false);
}

}  // namespace

int32_t ReadBackMultipleRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* end,
                             uint16_t* count, uint32_t mode) {
  uint16_t want = *count;
  *count = 0;
  if (BadCount(want)) return ZARQ_E_BAD_RECORD_COUNT;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  if (data.composite()) {
    *count = want;
    return Composites().read_back(handle, out, *end, count, mode);
  }
  uint16_t last = 0;
  if (mode == kFindAtCursor) {
    DataCursor cursor;
    status = PeekCursor(handle, &cursor);
    if (status != ZARQ_OK) return status;
    if (data.count() == 0) return ZARQ_E_END_OF_FILE;
    // Nothing lies before an unpositioned cursor, nor before a block that
    // began at record 1: record 1 is never read twice by paging back.
    if (cursor.record == 0) return ZARQ_FEWER_READ;
    last = std::min(cursor.record, data.count());
  } else {
    status = FindWithoutMoving(handle, *end, mode, &last);
    if (status < 0) return status;
  }
  int32_t result = ZARQ_OK;
  if (last < want) {
    want = last;
    result = ZARQ_FEWER_READ;
  }
  uint16_t first = static_cast<uint16_t>(last - want + 1);
  status = SetCursorRecord(handle, first);
  if (status == ZARQ_OK) status = ReadAtCursor(handle, out, &want);
  if (status < 0) return status;
  *count = want;
  status = SetCursorRecord(handle, static_cast<uint16_t>(first - 1));
  return status != ZARQ_OK ? status : result;
}

int32_t ReadMultipleRecsByDates(uint32_t handle, ZarqPriceRecord* out,
                                const ZarqDateTimePair& start, const ZarqDateTimePair& end,
                                uint16_t* count, uint32_t mode) {
  uint16_t want = *count;
  *count = 0;
  if (BadCount(want)) return ZARQ_E_BAD_RECORD_COUNT;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  if (data.composite()) {
    *count = want;
    return Composites().read_by_dates(handle, out, start, end, count, mode);
  }
  ZarqDateTimePair from = start;
  uint16_t first = 0;
  status = FindRecord(handle, &from.Date, &from.Time, &first, mode, true);
  if (status < 0) return status;
  const uint32_t available = data.count() - first + 1u;
  const uint32_t limit = std::min<uint32_t>(want, available);
  const Moment last_moment{end.Date, data.timed ? end.Time : 0};
  auto in_range = [&](const Moment& moment) {
    return CompareMoments(moment, last_moment, data.timed) <= 0;
  };

  FileHandle file = kNoFileHandle;
  status = OpenDataFile(data, &file);
  if (status != ZARQ_OK) return status;
  // Chunks go straight into the caller's array and are decoded there; the
  // first record past the end is decoded but not counted.
  const uint32_t chunk = std::max<uint32_t>(1, kIoChunkBytes / data.record_size);
  uint32_t taken = 0;
  bool passed_end = false;
  while (taken < limit && !passed_end) {
    uint32_t n = std::min(chunk, limit - taken);
    status = ReadPriceRecords(file, data.mask, first + taken, n, out + taken);
    if (status != ZARQ_OK) return status;
    uint32_t kept = 0;
    while (kept < n && in_range(data.MomentOf(out[taken + kept]))) ++kept;
    taken += kept;
    passed_end = kept < n;
    status = SetCursorRecord(handle, static_cast<uint16_t>(first + taken));
    if (status != ZARQ_OK) return status;
  }
  *count = static_cast<uint16_t>(taken);
  if (passed_end) return ZARQ_OK;
  const uint32_t next = first + taken;
  if (next <= data.count()) {
    // The buffer is full: whether the range goes on decides between "more"
    // and "done" (a record of the end moment itself may follow).
    Moment following;
    status = ReadMoment(data, file, next, &following);
    if (status != ZARQ_OK) {
      *count = 0;
      return status;
    }
    return in_range(following) ? ZARQ_BUFFER_FILLED : ZARQ_OK;
  }
  bool ended_at_end =
      taken > 0 && CompareMoments(data.MomentOf(out[taken - 1]), last_moment, data.timed) == 0;
  return ended_at_end ? ZARQ_OK : ZARQ_FEWER_READ;
}

int32_t GetRecordCountForDateRange(uint32_t handle, const ZarqDateTimePair& start,
                                   const ZarqDateTimePair& end, uint16_t* count) {
  *count = 0;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK || data.count() == 0) return status;
  // A composite's records follow its primary component's.
  uint32_t searched = data.composite() ? data.view.primary_handle : handle;
  uint16_t a = 0;
  uint16_t b = 0;
  status = FindWithoutMoving(searched, start, kFindAtOrAfter, &a);
  if (status < 0) return status;
  status = FindWithoutMoving(searched, end, kFindAtOrBefore, &b);
  if (status < 0) return status;
  if (data.composite()) a = std::max(a, data.view.start_position[0]);
  if (a <= b) *count = static_cast<uint16_t>(std::min<uint32_t>(b - a + 1u, data.count()));
  return ZARQ_OK;
}

}  // namespace zarq
