// record_reading.h: positioning the data cursor and reading price records
// forward from it, the operations behind the reading exports (the bounded
// and backward reads are in range_reading.h).
//
// Every operation needs the security held locked at ReadLock or above
// (-319 weaker, -320 not locked). An empty data file gives -194 to every
// search and -300 to every read. Reads move the stored records into the
// caller's array in one file read and decode them there in place; nothing
// per record goes through the cursor or the lock table. A composite
// security's reads go to the composite reader (composite_seam.h).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_RECORD_READING_H_
#define ZARQ_SRC_DATA_RECORD_READING_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// ZARQ1_SeekBeginData: the cursor unpositioned (the next read reads
// record 1; a backward read from it finds nothing).
int32_t SeekBeginData(uint32_t handle);

// ZARQ1_SeekEndData: the cursor past the last record. -193 for a composite.
int32_t SeekEndData(uint32_t handle);

// ZARQ1_GetCurrentDataPos: the record at the cursor (its number, 1 for an
// unpositioned cursor, and its moment) without moving the cursor; -300 at
// the end of the data. Composites report no record number.
int32_t GetCurrentDataPos(uint32_t handle, uint16_t* recno, ZarqDateTimePair* pair);

// ZARQ1_GetDataRecordCount: the working copy's record count.
int32_t GetDataRecordCount(uint32_t handle, uint16_t* count);

// ZARQ1_FindDataDate: FindRecord of *pair, moving the cursor to the
// record found.
int32_t FindDataDate(uint32_t handle, ZarqDateTimePair* pair, uint16_t* recno, uint32_t mode);

// ZARQ1_FindDataRec: the moment of record recno, which becomes the
// cursor. -193 composite, -194 no records, -143 recno outside 1..count.
int32_t FindDataRec(uint32_t handle, uint16_t recno, ZarqDateTimePair* pair);

// Reads up to *count records from the cursor into out and moves the
// cursor past them; *count becomes the number read. 0, or 52 when fewer
// remained; -300 with the cursor past the last record. A failed read
// leaves the cursor where it was.
int32_t ReadAtCursor(uint32_t handle, ZarqPriceRecord* out, uint16_t* count);

// ZARQ2_ReadDataRec: FindRecord of pair (the caller's pair unchanged)
// moving the cursor, then one record (a neighbour found is read, 0).
int32_t ReadDataRecAt(uint32_t handle, const ZarqDateTimePair& pair, ZarqPriceRecord* out,
                      uint32_t mode);

// ZARQ2_ReadMultipleRecs: -169 for a count outside 1..65500 (before the
// lock is looked at); unless mode is 3, FindRecord of *pair moving the
// cursor; then ReadAtCursor. *count is the number read (0 on failure).
int32_t ReadMultipleRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* pair,
                         uint16_t* count, uint32_t mode);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_RECORD_READING_H_
