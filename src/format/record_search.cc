// record_search.cc: the binary search over a record file.
//
// Thread-safety: callers hold the library lock.

#include "src/format/record_search.h"

#include "include/zarq.h"
#include "src/format/record_buffer.h"
#include "src/fileio/file_table.h"

namespace zarq {

int32_t SearchRecords(FileHandle file, uint16_t record_size, uint32_t count, const void* key,
                      RecordComparison compare, SearchMode mode, uint32_t* index) {
  *index = 0;
  if (record_size == 0) return ZARQ_E_INVALID_ARGUMENT;
  uint32_t one = 1;
  HeapBuffer record = AllocRecordBuffer(&one, record_size, 1);
  if (record == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  // 64-bit bounds: a damaged count near 2^32 must not wrap.
  uint64_t low = 1;
  uint64_t high = count;
  while (low <= high) {
    uint64_t mid = low + (high - low) / 2;
    int32_t status = FileSeek(file, record_size, static_cast<int32_t>(mid), kSeekRecord);
    if (status == ZARQ_OK) status = FileRead(file, record_size, record.get());
    if (status != ZARQ_OK) return status;
    int32_t order = compare(key, record.get());
    if (order == 0) {
      *index = static_cast<uint32_t>(mid);
      return ZARQ_OK;
    }
    if (order < 0) {
      high = mid - 1;
    } else {
      low = mid + 1;
    }
  }
  if (mode == SearchMode::kExact) return ZARQ_E_INDEX_ENTRY_MISSING;
  // After the loop low is where the key belongs: the last probe that found
  // the key smaller left low on that probe, a larger one just past it.
  *index = static_cast<uint32_t>(low);
  return ZARQ_NEAR_MATCH;
}

}  // namespace zarq
