// spliced_file.h: a data file changed in its middle: records inserted
// before a record, or a run of records taken out, whole or not at all.
//
// Moving records up or down inside the file would leave, should the
// process die part way, counted records moved over others: some lost,
// some twice. So such a change writes the file anew beside the old one
// and swaps it in (data_rebuild.h): the data file is at every instant
// either the old one or the new one, each counted by its own header. The
// working copy is committed at once and written through to the security
// list, so the change stands even if the process dies before its unlock;
// a failing write-through is left to the unlock, which writes the same
// values again.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_SPLICED_FILE_H_
#define ZARQ_SRC_DATA_SPLICED_FILE_H_

#include <cstdint>

#include "src/data/locked_data.h"
#include "src/data/stored_records.h"

namespace zarq {

// Rebuilds data's file with records first..last (1 <= first, last <
// first for none) replaced by inserted (none when null), and commits the
// new count and moments. When record 1 is removed, a BaseDate that was the
// first date follows the new first record. On failure the file, the count
// and the moments are as they were.
int32_t SpliceDataFile(LockedData* data, uint32_t first, uint32_t last,
                       const StoredRecords* inserted);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_SPLICED_FILE_H_
