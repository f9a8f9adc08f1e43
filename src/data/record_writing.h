// record_writing.h: writing price records at the cursor (overwriting, then
// appending past the end), inserting them before the cursor's record, and
// the exported forms that place them by moment.
//
// Every operation refuses a composite security (-193, told by the handle
// before the lock is looked at) and needs the security held at WriteLock
// or above. Before the first byte moves, each checks every date (and time,
// for a security that stores times) of the records it was given, and the
// limit of 65500 records on the count the change would leave (-150; -149
// for a single insert into a full file). A refused or failed change leaves
// the data file, the record count and the cached moments as they were
// (data_file_edit.h); a search that placed the cursor may have moved it.
// Records inserted inside the data, and counted records overwritten by
// more than one write, make the file anew (spliced_file.h).
//
// The operations keep the cached values in step: FirstDate/FirstTime
// follow a change of record 1, LastDate/LastTime one of the last record,
// BaseDate takes the first date written into an empty file and never lies
// after FirstDate. They neither sort nor check the order of the records
// given; keeping the file in order is the caller's business.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_RECORD_WRITING_H_
#define ZARQ_SRC_DATA_RECORD_WRITING_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/data/locked_data.h"
#include "src/data/stored_records.h"

namespace zarq {

// The working copy of a security to be changed: -193 for a composite,
// else LoadLockedData at WriteLock.
int32_t LoadForWriting(uint32_t handle, LockedData* data);

// Overwrites records from the cursor on with the records prepared,
// appending past the end; the cursor ends after them. -169 for none.
int32_t WriteAtCursor(LockedData* data, const StoredRecords& records);

// Inserts the records prepared before record position (count + 1: at the
// end); the cursor ends after them.
int32_t InsertAt(LockedData* data, const StoredRecords& records, uint32_t position);

// ZARQ1_WriteDataRec: WriteAtCursor of one record.
int32_t WriteDataRec(uint32_t handle, const ZarqPriceRecord& record);

// ZARQ2_WriteDataRec: the record placed by its moment: into an empty file;
// over the first record of that moment when replace is set (else -144);
// inserted before the first record after it; appended after the last.
int32_t WriteDataRecByMoment(uint32_t handle, const ZarqPriceRecord& record, uint32_t replace);

// ZARQ2_WriteMultipleRecs: n (1..65500, else -169) records written from
// the record of the first one's moment (mode 3: the cursor); a moment
// between records places them by mode (exactly: -148); after the last
// record they are appended, before the first they overwrite from record 1.
int32_t WriteMultipleRecs(uint32_t handle, const ZarqPriceRecord* records, uint16_t n,
                          uint32_t mode);

// ZARQ1_InsertDataRec: one record inserted before the cursor's record.
int32_t InsertDataRec(uint32_t handle, const ZarqPriceRecord& record);

// ZARQ2_InsertMultipleRecs: n (1..65500, else -169) records inserted as a
// block before the first record at or after the first one's moment (mode
// 3: before the cursor's record), or appended.
int32_t InsertMultipleRecs(uint32_t handle, const ZarqPriceRecord* records, uint16_t n,
                           uint32_t mode);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_RECORD_WRITING_H_
