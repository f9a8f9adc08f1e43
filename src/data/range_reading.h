// range_reading.h: reads bounded by moments: the block of records ending
// at a moment (read backward, page by page), the records between two
// moments, and their count.
//
// Every operation needs the security held locked at ReadLock or above; a
// count outside 1..65500 is -169 before the lock is looked at. A composite
// security's reads go to the composite reader (composite_seam.h).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_RANGE_READING_H_
#define ZARQ_SRC_DATA_RANGE_READING_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// ZARQ2_ReadBackMultipleRecs: the up to *count records that end at the
// record FindRecord finds for *end (mode 3: at the cursor's record, the
// last record when the cursor is past the end), in ascending order. The
// cursor is then left just before the block, so that mode 3 next reads
// the block before it; once the block began at record 1 nothing precedes
// it, and mode 3 reads no record (52, *count 0), as it does from an
// unpositioned cursor. 0, or 52 when fewer records were there.
int32_t ReadBackMultipleRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* end,
                             uint16_t* count, uint32_t mode);

// ZARQ2_ReadMultipleRecsByDates: reads forward from the record FindRecord
// finds for start (moving the cursor) while records lie at or before end,
// at most *count of them; the cursor follows the records taken. Results:
// 0 when the range was read to its end; 53 when the buffer filled while
// records of the range remain; 52 when the data ended before the end
// moment. Never 0 while a record of the range is unread.
int32_t ReadMultipleRecsByDates(uint32_t handle, ZarqPriceRecord* out,
                                const ZarqDateTimePair& start, const ZarqDateTimePair& end,
                                uint16_t* count, uint32_t mode);

// ZARQ1_GetRecordCountForDateRange: the records from the first at or after
// start to the last at or before end (0 when they cross); -145 or -146
// when the range lies wholly before or after the data; 0 and a count of 0
// without records. A composite counts its primary component's records
// from the start of its common range. The cursor does not move.
int32_t GetRecordCountForDateRange(uint32_t handle, const ZarqDateTimePair& start,
                                   const ZarqDateTimePair& end, uint16_t* count);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_RANGE_READING_H_
