// record_search.h: binary search over the sorted records of a file of
// fixed-size records (record 0 is a header; records 1..count follow it in
// ascending order).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FORMAT_RECORD_SEARCH_H_
#define ZARQ_SRC_FORMAT_RECORD_SEARCH_H_

#include <cstdint>

#include "src/platform/platform.h"

namespace zarq {

enum class SearchMode {
  kExact,      // a miss is ZARQ_E_INDEX_ENTRY_MISSING
  kInsertion,  // a miss is ZARQ_NEAR_MATCH and the place the key belongs
};

// The order of key against the bytes of one record: < 0 when the key
// sorts before it, 0 when they match, > 0 after it.
using RecordComparison = int32_t (*)(const void* key, const uint8_t* record);

// Searches records 1..count of file (record_size bytes each), reading one
// record per probe. 0 and *index of a matching record; on a miss,
// ZARQ_NEAR_MATCH with *index the position the key would take (1..count +
// 1) in insertion mode, ZARQ_E_INDEX_ENTRY_MISSING with *index 0 in exact
// mode. Read failures end the search with their status;
// ZARQ_E_OUT_OF_MEMORY without a record buffer.
int32_t SearchRecords(FileHandle file, uint16_t record_size, uint32_t count, const void* key,
                      RecordComparison compare, SearchMode mode, uint32_t* index);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_RECORD_SEARCH_H_
