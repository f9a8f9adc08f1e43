// data_sorting.h: putting a security's data file back into moment order.
//
// The sort orders records by moment (date, and time for an intraday
// security), keeping records of one moment in their file order, and moves
// stored records as they are, never decoding them. A file found in order
// while it is read is not rewritten. When memory holds all the records,
// they are sorted in one run and written out in whole chunks; otherwise up
// to 100 sorted runs go to a runs file and are merged from there, each run
// with its own share of the buffer (no share: -394 before anything is
// read). The output is a rebuilt file swapped in (data_rebuild.h).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_DATA_SORTING_H_
#define ZARQ_SRC_DATA_DATA_SORTING_H_

#include <cstdint>

namespace zarq {

// ZARQ2_SortData: -193 for a composite; WriteLock; 0 without change for
// fewer than two records or a file in order.
int32_t SortData(uint32_t handle);

// SortData with runs of at most run_limit records (tests reach the merge
// of runs through it).
int32_t SortDataInRuns(uint32_t handle, uint32_t run_limit);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATA_SORTING_H_
