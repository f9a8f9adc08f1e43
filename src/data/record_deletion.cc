// record_deletion.cc: deleting price records.
//
// Thread-safety: callers hold the library lock.

#include "src/data/record_deletion.h"

#include "src/data/data_cursor.h"
#include "src/data/date_search.h"
#include "src/data/record_writing.h"
#include "src/data/spliced_file.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"

namespace zarq {

int32_t DeleteAtCursor(LockedData* data, uint32_t n) {
  DataCursor cursor;
  int32_t status = GetCursor(data->handle, &cursor);
  if (status != ZARQ_OK) return status;
  const uint32_t count = data->count();
  if (count == 0) return ZARQ_E_NO_DATA;
  const uint32_t first = cursor.record;
  // In 64 bits: a count reaching past 65535 still deletes to the end.
  uint64_t last = uint64_t{first} + n - 1;
  int32_t result = ZARQ_OK;
  if (last > count) {
    last = count;
    result = ZARQ_FEWER_DELETED;
  }
  if (n == 0 || first > last) return ZARQ_E_BAD_RECORD_COUNT;
  const uint32_t deleted = static_cast<uint32_t>(last) - first + 1;
  const uint32_t remaining = count - deleted;
  const bool to_the_end = last == count;

  if (!to_the_end) {
    // Records that would move down: the file is made anew (spliced_file.h).
    status = SpliceDataFile(data, first, static_cast<uint32_t>(last), nullptr);
    return status == ZARQ_OK ? SetCursorRecord(data->handle, static_cast<uint16_t>(first)) : status;
  }

  // To the end: the file is cut, in one step, after the new last record
  // was read.
  FileHandle file = kNoFileHandle;
  status = OpenDataFile(*data, &file);
  if (status != ZARQ_OK) return status;
  Moment boundary;
  if (remaining > 0) status = ReadMoment(*data, file, first - 1, &boundary);
  if (status != ZARQ_OK) return status;
  status = FileSetSize(file, (remaining + 1) * data->record_size);
  if (status != ZARQ_OK) return status;

  SecurityRecord& record = data->view.record;
  data->view.record_count = static_cast<uint16_t>(remaining);
  uint32_t at = remaining;
  if (remaining == 0) {
    at = 1;
    record.last_date = record.first_date;
    record.last_time = record.first_time;
    record.base_date = record.first_date;
    record.extra_date = 0;
    record.extra_value = 0;
  } else {
    SetLastMoment(data, boundary);
  }
  status = CommitLockedData(*data);
  if (status == ZARQ_OK) status = SetCursorRecord(data->handle, static_cast<uint16_t>(at));
  return status != ZARQ_OK ? status : result;
}

int32_t DeleteDataRec(uint32_t handle) {
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  return status == ZARQ_OK ? DeleteAtCursor(&data, 1) : status;
}

int32_t DeleteMultipleRecs(uint32_t handle, const ZarqDateTimePair* pair, uint32_t n,
                           uint32_t mode) {
  if (IsCompositeHandle(handle)) return ZARQ_E_IS_COMPOSITE;
  if (n == 0) return ZARQ_E_BAD_RECORD_COUNT;
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  if (status != ZARQ_OK) return status;
  if (mode != kFindAtCursor) {
    ZarqDateTimePair target = *pair;
    uint16_t recno = 0;
    status = FindRecord(handle, &target.Date, &target.Time, &recno, mode, true);
    if (status != ZARQ_OK) return status;
  }
  return DeleteAtCursor(&data, n);
}

int32_t DeleteMultipleRecsByDates(uint32_t handle, const ZarqDateTimePair& start,
                                  uint32_t start_mode, const ZarqDateTimePair& end,
                                  uint32_t end_mode) {
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  if (status != ZARQ_OK) return status;
  ZarqDateTimePair from = start;
  ZarqDateTimePair to = end;
  uint16_t a = 0;
  uint16_t b = 0;
  status = FindRecord(handle, &from.Date, &from.Time, &a, start_mode, false);
  if (status < 0) return status;
  status = FindRecord(handle, &to.Date, &to.Time, &b, end_mode, false);
  if (status < 0) return status;
  if (b < a) return ZARQ_E_BAD_RECORD_COUNT;
  status = SetCursorRecord(handle, a);
  return status == ZARQ_OK ? DeleteAtCursor(&data, b - a + 1u) : status;
}

}  // namespace zarq
