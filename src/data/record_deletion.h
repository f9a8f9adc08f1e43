// record_deletion.h: deleting price records from the cursor on, and the
// exported forms that place the cursor by moment.
//
// Each refuses a composite security (-193, told by the handle before the
// lock is looked at) and needs the security held at WriteLock or above.
// A range that reaches the end of the data is cut off the file; one in
// the middle is taken out by making the file anew (spliced_file.h). A
// failure leaves the file as it was, and the count and cached moments
// change only after the file has. Emptying the file keeps FirstDate/FirstTime, makes the
// last moment and BaseDate the first, and clears ExtraDate and ExtraValue.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_RECORD_DELETION_H_
#define ZARQ_SRC_DATA_RECORD_DELETION_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/data/locked_data.h"

namespace zarq {

// Deletes n records from the cursor's record on: 0, or 51 when the data
// ended first (the range reaching past it deletes to the end); -169 for n
// of 0 or a cursor past the end; -194 without records. The cursor ends at
// the first record after the range, at the new last record when the range
// reached the end, or at 1 when none remain.
int32_t DeleteAtCursor(LockedData* data, uint32_t n);

// ZARQ1_DeleteDataRec: DeleteAtCursor of one record.
int32_t DeleteDataRec(uint32_t handle);

// ZARQ2_DeleteMultipleRecs: unless mode is 3, FindRecord of *pair moving
// the cursor, and any result but an exact hit is returned (a neighbour,
// 25, deletes nothing); then DeleteAtCursor(n).
int32_t DeleteMultipleRecs(uint32_t handle, const ZarqDateTimePair* pair, uint32_t n,
                           uint32_t mode);

// ZARQ2_DeleteMultipleRecsByDates: the records from the one FindRecord
// finds for start to the one it finds for end (neighbours accepted); -169
// when the end record lies before the start record. The cursor moves only
// when records are deleted.
int32_t DeleteMultipleRecsByDates(uint32_t handle, const ZarqDateTimePair& start,
                                  uint32_t start_mode, const ZarqDateTimePair& end,
                                  uint32_t end_mode);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_RECORD_DELETION_H_
