// record_writing.cc: writing and inserting price records.
//
// Thread-safety: callers hold the library lock.

#include "src/data/record_writing.h"

#include <algorithm>

#include "src/data/data_cursor.h"
#include "src/data/data_file_edit.h"
#include "src/data/date_search.h"
#include "src/data/spliced_file.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"

namespace zarq {
namespace {

bool BadCount(uint32_t n) { return n == 0 || n > kMaxMultipleRecords; }

// Record 1 changed to first (into an empty file: its date is the base).
void FirstRecordWritten(LockedData* data, uint32_t old_count, const ZarqPriceRecord& first) {
  if (old_count == 0) data->view.record.base_date = first.Date;
  SetFirstMoment(data, data->MomentOf(first));
}

// Commits the change, then places the cursor after the records written.
int32_t Finish(const LockedData& data, uint32_t cursor) {
  int32_t status = CommitLockedData(data);
  return status == ZARQ_OK ? SetCursorRecord(data.handle, static_cast<uint16_t>(cursor)) : status;
}

int32_t InsertOne(LockedData* data, const StoredRecords& record, uint32_t position) {
  if (data->count() >= kMaxDataRecords) return ZARQ_E_NO_INSERT;
  return InsertAt(data, record, position);
}

// The security's working copy, and the records checked and encoded.
int32_t LoadAndPrepare(uint32_t handle, const ZarqPriceRecord* records, uint32_t n,
                       LockedData* data, StoredRecords* stored) {
  int32_t status = LoadForWriting(handle, data);
  return status == ZARQ_OK ? stored->Prepare(*data, records, n) : status;
}

}  // namespace

int32_t LoadForWriting(uint32_t handle, LockedData* data) {
  if (IsCompositeHandle(handle)) return ZARQ_E_IS_COMPOSITE;
  int32_t status = LoadLockedData(handle, kWriteLock, data);
  if (status == ZARQ_OK && data->composite()) return ZARQ_E_IS_COMPOSITE;
  return status;
}

int32_t WriteAtCursor(LockedData* data, const StoredRecords& records) {
  const uint32_t n = records.size();
  if (n == 0) return ZARQ_E_BAD_RECORD_COUNT;
  DataCursor cursor;
  int32_t status = GetCursor(data->handle, &cursor);
  if (status != ZARQ_OK) return status;
  const uint32_t count = data->count();
  // A cursor past the end appends: the file never gets a hole.
  const uint32_t at = std::min<uint32_t>(cursor.record, count + 1);
  const uint32_t last = at + n - 1;
  if (std::max(count, last) > kMaxDataRecords) return ZARQ_E_TOO_MANY_RECORDS;

  if (at <= count && uint64_t{n} * data->record_size > kIoChunkBytes) {
    // Counted records overwritten by more than one write: a process dying
    // between two would leave them part old, part new. The file is made
    // anew instead (spliced_file.h).
    status = SpliceDataFile(data, at, std::min(last, count), &records);
    return status == ZARQ_OK ? SetCursorRecord(data->handle, static_cast<uint16_t>(at + n))
                             : status;
  }
  FileHandle file = kNoFileHandle;
  status = OpenDataFile(*data, &file);
  if (status != ZARQ_OK) return status;
  DataFileEdit edit(file, data->record_size);
  status = edit.Save(at, at + n);
  if (status != ZARQ_OK) return status;
  status = records.WriteTo(&edit, at);
  if (status != ZARQ_OK) {
    edit.Undo();
    return status;
  }
  if (at == 1) FirstRecordWritten(data, count, records.front());
  if (last >= count) {
    data->view.record_count = static_cast<uint16_t>(last);
    SetLastMoment(data, data->MomentOf(records.back()));
  }
  return Finish(*data, at + n);
}

int32_t InsertAt(LockedData* data, const StoredRecords& records, uint32_t position) {
  const uint32_t n = records.size();
  if (n == 0) return ZARQ_E_BAD_RECORD_COUNT;
  const uint32_t count = data->count();
  if (count + n > kMaxDataRecords) return ZARQ_E_TOO_MANY_RECORDS;
  const uint32_t at = std::clamp<uint32_t>(position, 1, count + 1);
  if (at <= count) {
    // Records that would move: the file is made anew (spliced_file.h).
    int32_t status = SpliceDataFile(data, at, at - 1, &records);
    return status == ZARQ_OK ? SetCursorRecord(data->handle, static_cast<uint16_t>(at + n))
                             : status;
  }

  // After the last record: nothing counted moves, and what is written
  // counts only once committed.
  FileHandle file = kNoFileHandle;
  int32_t status = OpenDataFile(*data, &file);
  if (status != ZARQ_OK) return status;
  DataFileEdit edit(file, data->record_size);
  status = edit.Save(at, kToEndOfFile);
  if (status == ZARQ_OK) status = records.WriteTo(&edit, at);
  // What lay beyond the data (left by an interrupted change) is cut off.
  const uint32_t records_after = count + n + 1;
  if (status == ZARQ_OK && edit.file_bytes() > uint64_t{records_after} * data->record_size) {
    status = edit.Resize(records_after);
  }
  if (status != ZARQ_OK) {
    edit.Undo();
    return status;
  }
  data->view.record_count = static_cast<uint16_t>(count + n);
  if (at == 1) FirstRecordWritten(data, count, records.front());
  SetLastMoment(data, data->MomentOf(records.back()));
  return Finish(*data, at + n);
}

int32_t WriteDataRec(uint32_t handle, const ZarqPriceRecord& record) {
  LockedData data;
  StoredRecords stored;
  int32_t status = LoadAndPrepare(handle, &record, 1, &data, &stored);
  return status == ZARQ_OK ? WriteAtCursor(&data, stored) : status;
}

int32_t WriteDataRecByMoment(uint32_t handle, const ZarqPriceRecord& record, uint32_t replace) {
  LockedData data;
  StoredRecords stored;
  int32_t status = LoadAndPrepare(handle, &record, 1, &data, &stored);
  if (status != ZARQ_OK) return status;
  if (data.count() == 0) {
    status = SetCursor(handle, DataCursor{});
    return status == ZARQ_OK ? WriteAtCursor(&data, stored) : status;
  }
  Moment target{record.Date, record.Time};
  uint16_t recno = 0;
  status = FindRecord(handle, &target.date, &target.time, &recno, kFindAtOrAfter, true);
  switch (status) {
    case ZARQ_OK:
      return replace != 0 ? WriteAtCursor(&data, stored) : ZARQ_E_RECORD_EXISTS;
    case ZARQ_NEAR_MATCH:
      return InsertOne(&data, stored, recno);
    case ZARQ_E_AFTER_LAST:
      status = SetCursorRecord(handle, static_cast<uint16_t>(data.count() + 1));
      return status == ZARQ_OK ? WriteAtCursor(&data, stored) : status;
    case ZARQ_E_BEFORE_FIRST:
      return InsertOne(&data, stored, 1);
    default:
      return status;
  }
}

int32_t WriteMultipleRecs(uint32_t handle, const ZarqPriceRecord* records, uint16_t n,
                          uint32_t mode) {
  if (IsCompositeHandle(handle)) return ZARQ_E_IS_COMPOSITE;
  if (BadCount(n)) return ZARQ_E_BAD_RECORD_COUNT;
  LockedData data;
  StoredRecords stored;
  int32_t status = LoadAndPrepare(handle, records, n, &data, &stored);
  if (status != ZARQ_OK) return status;
  if (data.count() == 0) {
    status = SetCursor(handle, DataCursor{});
  } else if (mode != kFindAtCursor) {
    Moment target{records[0].Date, records[0].Time};
    uint16_t recno = 0;
    status = FindRecord(handle, &target.date, &target.time, &recno, kFindExact, true);
    if (status == ZARQ_E_NO_EXACT_RECORD) {
      target = Moment{records[0].Date, records[0].Time};
      status = FindRecord(handle, &target.date, &target.time, &recno, mode, true);
    }
    if (status == ZARQ_E_AFTER_LAST) {
      status = SetCursorRecord(handle, static_cast<uint16_t>(data.count() + 1));
    } else if (status == ZARQ_E_BEFORE_FIRST) {
      status = SetCursor(handle, DataCursor{});
    }
  }
  return status < 0 ? status : WriteAtCursor(&data, stored);
}

int32_t InsertDataRec(uint32_t handle, const ZarqPriceRecord& record) {
  LockedData data;
  StoredRecords stored;
  DataCursor cursor;
  int32_t status = LoadAndPrepare(handle, &record, 1, &data, &stored);
  if (status == ZARQ_OK) status = GetCursor(handle, &cursor);
  return status == ZARQ_OK ? InsertOne(&data, stored, cursor.record) : status;
}

int32_t InsertMultipleRecs(uint32_t handle, const ZarqPriceRecord* records, uint16_t n,
                           uint32_t mode) {
  if (IsCompositeHandle(handle)) return ZARQ_E_IS_COMPOSITE;
  if (BadCount(n)) return ZARQ_E_BAD_RECORD_COUNT;
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  if (status != ZARQ_OK) return status;
  if (data.count() + uint32_t{n} > kMaxDataRecords) return ZARQ_E_TOO_MANY_RECORDS;
  StoredRecords stored;
  status = stored.Prepare(data, records, n);
  if (status != ZARQ_OK) return status;
  uint32_t position = 1;
  if (data.count() > 0 && mode == kFindAtCursor) {
    DataCursor cursor;
    status = GetCursor(handle, &cursor);
    position = cursor.record;
  } else if (data.count() > 0) {
    Moment target{records[0].Date, records[0].Time};
    uint16_t recno = 0;
    status = FindRecord(handle, &target.date, &target.time, &recno, kFindAtOrAfter, true);
    position = recno;
    if (status == ZARQ_E_AFTER_LAST) {
      status = ZARQ_OK;
      position = data.count() + 1u;
    }
  }
  return status < 0 ? status : InsertAt(&data, stored, position);
}

}  // namespace zarq
