// spliced_file.cc: inserting and removing records by a rebuilt data file.
//
// Thread-safety: see spliced_file.h.

#include "src/data/spliced_file.h"

#include <vector>

#include "src/data/data_rebuild.h"
#include "src/format/data_file.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

// Copies records from..to of file (to < from: none) into rebuild.
int32_t CopyRecords(FileHandle file, uint16_t size, uint32_t from, uint32_t to,
                    DataFileRebuild* rebuild, uint8_t* buffer, uint32_t room) {
  for (uint32_t k = from; k <= to;) {
    const uint32_t n = std::min(room, to - k + 1);
    int32_t status = ReadStoredRecords(file, size, k, n, buffer);
    if (status == ZARQ_OK) status = rebuild->Append(buffer, n);
    if (status != ZARQ_OK) return status;
    k += n;
  }
  return ZARQ_OK;
}

}  // namespace

int32_t SpliceDataFile(LockedData* data, uint32_t first, uint32_t last,
                       const StoredRecords* inserted) {
  const uint16_t size = data->record_size;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenDataFile(*data, &file);
  std::vector<uint8_t> header(size);
  if (status == ZARQ_OK) status = ReadStoredRecords(file, size, 0, 1, header.data());
  if (status != ZARQ_OK) return status;
  uint32_t room = ChunkRecords(size);
  HeapBuffer buffer = AllocRecordBuffer(&room, size, 1);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;

  DataFileRebuild rebuild(*data, size);
  status = rebuild.Begin(header.data());
  if (status == ZARQ_OK) status = CopyRecords(file, size, 1, first - 1, &rebuild, buffer.get(), room);
  if (status == ZARQ_OK && inserted != nullptr) status = inserted->AppendTo(&rebuild);
  if (status == ZARQ_OK) {
    status = CopyRecords(file, size, last + 1, data->count(), &rebuild, buffer.get(), room);
  }
  if (status == ZARQ_OK) status = rebuild.SwapIn();
  if (status != ZARQ_OK) return status;

  SecurityRecord& record = data->view.record;
  if (first == 1 && rebuild.count() > 0 && record.base_date == record.first_date) {
    record.base_date = rebuild.first().date;
  }
  data->view.record_count = static_cast<uint16_t>(rebuild.count());
  if (rebuild.count() > 0) {
    SetFirstMoment(data, rebuild.first());
    SetLastMoment(data, rebuild.last());
  }
  status = CommitLockedData(*data);
  if (status == ZARQ_OK) StoreLockedSecurity(data->handle);
  return status;
}

}  // namespace zarq
