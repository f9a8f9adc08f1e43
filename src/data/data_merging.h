// data_merging.h: rebuilding a data file from records in moment order:
// merging one security's records into another's, and dropping records
// that share a moment.
//
// Both stream stored records in chunks, never decoding them, into a file
// rebuilt beside the data file and swapped in (data_rebuild.h). Records
// out of moment order stop them (-147) before anything is swapped.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_DATA_MERGING_H_
#define ZARQ_SRC_DATA_DATA_MERGING_H_

#include <cstdint>

namespace zarq {

// What a merge does with a source and a destination record of one moment.
enum MergeMode : uint32_t {
  kMergeSourceWins = 0,
  kMergeDestinationWins = 1,
  // any other value keeps both, the destination's first
};

// ZARQ2_MergeData: source's records merged into destination's. -193 for a
// composite; -188 for one security; ReadLock on the source, WriteLock on
// the destination; -200 for a different field mask, period or (intraday)
// interval; 0 and nothing done when the source has no records; -147; -150
// for more than 65500 records. A later ExtraDate of the source comes along
// with its ExtraValue. The source never changes.
int32_t MergeData(uint32_t source, uint32_t destination, uint32_t mode);

// ZARQ2_RemoveDuplicateDataRecs: of each run of records of one moment only
// the first (keep 1: the last) stays. A file out of order is sorted once
// first. A file without such runs is not touched.
int32_t RemoveDuplicateDataRecs(uint32_t handle, uint32_t keep);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATA_MERGING_H_
