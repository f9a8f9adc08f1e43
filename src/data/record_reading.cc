// record_reading.cc: the cursor and forward reads of price records.
//
// Thread-safety: callers hold the library lock.

#include "src/data/record_reading.h"

#include "src/data/composite_seam.h"
#include "src/data/data_cursor.h"
#include "src/data/date_search.h"
#include "src/data/locked_data.h"
#include "src/format/data_file.h"

namespace zarq {

int32_t SeekBeginData(uint32_t handle) {
  DataCursor cursor;
  int32_t status = RequireLockLevel(handle, kReadLock);
  if (status == ZARQ_OK) status = GetCursor(handle, &cursor);
  return status == ZARQ_OK ? SetCursor(handle, DataCursor{}) : status;
}

int32_t SeekEndData(uint32_t handle) {
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  if (data.composite()) return ZARQ_E_IS_COMPOSITE;
  return SetCursorRecord(handle, static_cast<uint16_t>(data.count() + 1));
}

int32_t GetCurrentDataPos(uint32_t handle, uint16_t* recno, ZarqDateTimePair* pair) {
  *recno = 0;
  *pair = ZarqDateTimePair{};
  LockedData data;
  DataCursor saved;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status == ZARQ_OK) status = PeekCursor(handle, &saved);
  if (status != ZARQ_OK) return status;
  ZarqPriceRecord record;
  uint16_t one = 1;
  status = ReadAtCursor(handle, &record, &one);
  // Reading moved the cursor (and a composite's read state): both go back.
  int32_t restored = SetCursor(handle, saved);
  if (status != ZARQ_OK) return status;
  if (restored != ZARQ_OK) return restored;
  *pair = ZarqDateTimePair{record.Date, data.timed ? record.Time : 0};
  if (!data.composite()) *recno = saved.record == 0 ? 1 : saved.record;
  return ZARQ_OK;
}

int32_t GetDataRecordCount(uint32_t handle, uint16_t* count) {
  *count = 0;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status == ZARQ_OK) *count = data.count();
  return status;
}

int32_t FindDataDate(uint32_t handle, ZarqDateTimePair* pair, uint16_t* recno, uint32_t mode) {
  return FindRecord(handle, &pair->Date, &pair->Time, recno, mode, true);
}

int32_t FindDataRec(uint32_t handle, uint16_t recno, ZarqDateTimePair* pair) {
  *pair = ZarqDateTimePair{};
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  if (data.composite()) return ZARQ_E_IS_COMPOSITE;
  if (data.count() == 0) return ZARQ_E_NO_DATA;
  if (recno == 0 || recno > data.count()) return ZARQ_E_RECORD_NUMBER_RANGE;
  FileHandle file = kNoFileHandle;
  ZarqPriceRecord record;
  status = OpenDataFile(data, &file);
  if (status == ZARQ_OK) status = ReadPriceRecords(file, data.mask, recno, 1, &record);
  if (status == ZARQ_OK) status = SetCursorRecord(handle, recno);
  if (status == ZARQ_OK) *pair = ZarqDateTimePair{record.Date, data.timed ? record.Time : 0};
  return status;
}

int32_t ReadAtCursor(uint32_t handle, ZarqPriceRecord* out, uint16_t* count) {
  uint16_t want = *count;
  *count = 0;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  if (data.composite()) {
    *count = want;
    return Composites().read(handle, out, count);
  }
  DataCursor cursor;
  status = GetCursor(handle, &cursor);
  if (status != ZARQ_OK) return status;
  if (cursor.record > data.count()) return ZARQ_E_END_OF_FILE;
  int32_t result = ZARQ_OK;
  uint16_t available = static_cast<uint16_t>(data.count() - cursor.record + 1);
  if (want > available) {
    want = available;
    result = ZARQ_FEWER_READ;
  }
  FileHandle file = kNoFileHandle;
  status = OpenDataFile(data, &file);
  if (status == ZARQ_OK) status = ReadPriceRecords(file, data.mask, cursor.record, want, out);
  if (status == ZARQ_OK) {
    status = SetCursorRecord(handle, static_cast<uint16_t>(cursor.record + want));
  }
  if (status != ZARQ_OK) return status;
  *count = want;
  return result;
}

int32_t ReadDataRecAt(uint32_t handle, const ZarqDateTimePair& pair, ZarqPriceRecord* out,
                      uint32_t mode) {
  ZarqDateTimePair target = pair;
  uint16_t recno = 0;
  int32_t status = FindRecord(handle, &target.Date, &target.Time, &recno, mode, true);
  if (status < 0) return status;
  uint16_t one = 1;
  return ReadAtCursor(handle, out, &one);
}

int32_t ReadMultipleRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* pair,
                         uint16_t* count, uint32_t mode) {
  uint16_t want = *count;
  *count = 0;
  if (want == 0 || want > kMaxMultipleRecords) return ZARQ_E_BAD_RECORD_COUNT;
  if (mode != kFindAtCursor) {
    ZarqDateTimePair target = *pair;
    uint16_t recno = 0;
    int32_t status = FindRecord(handle, &target.Date, &target.Time, &recno, mode, true);
    if (status < 0) return status;
  }
  int32_t status = ReadAtCursor(handle, out, &want);
  if (status >= 0) *count = want;
  return status;
}

}  // namespace zarq
