// locked_data.cc: a locked security's working copy as price data
// operations use it.
//
// Thread-safety: callers hold the library lock.

#include "src/data/locked_data.h"

#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_files.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"

namespace zarq {

int32_t CompareMoments(const Moment& a, const Moment& b, bool timed) {
  return CompareDateTime(a.date, a.time, b.date, b.time, timed);
}

int32_t LoadLockedData(uint32_t handle, uint8_t level, LockedData* data) {
  int32_t status = RequireLockLevel(handle, level);
  if (status == ZARQ_OK) status = GetLockedSecurity(handle, &data->view);
  if (status != ZARQ_OK) return status;
  data->handle = handle;
  data->mask = data->view.record.field_mask;
  data->record_size = static_cast<uint16_t>(StoredRecordSize(data->mask));
  data->timed = data->view.record.period == 'I';
  data->has_time = (CodecFields(data->mask) & kFieldTime) != 0;
  return ZARQ_OK;
}

int32_t OpenDataFile(const LockedData& data, FileHandle* file) {
  return OpenSecurityFile(data.handle, file, 0, kKindData);
}

int32_t ReadMoment(const LockedData& data, FileHandle file, uint32_t k, Moment* moment) {
  uint8_t stored[kMaxStoredRecordSize];
  int32_t status = ReadStoredRecords(file, data.record_size, k, 1, stored);
  if (status == ZARQ_OK) RecordToZarqDateTime(stored, &moment->date, &moment->time, data.has_time);
  return status;
}

void SetFirstMoment(LockedData* data, const Moment& first) {
  SecurityRecord& record = data->view.record;
  record.first_date = first.date;
  if (data->has_time) record.first_time = first.time;
}

void SetLastMoment(LockedData* data, const Moment& last) {
  SecurityRecord& record = data->view.record;
  record.last_date = last.date;
  if (data->has_time) record.last_time = last.time;
}

int32_t CommitLockedData(const LockedData& data) {
  LockedSecurityView view = data.view;
  // A base date after the first record (as a lock may have found it) is
  // no base of the data.
  SecurityRecord& record = view.record;
  if (view.record_count > 0 && record.base_date > record.first_date) {
    record.base_date = record.first_date;
  }
  return UpdateLockedSecurity(data.handle, view);
}

}  // namespace zarq
