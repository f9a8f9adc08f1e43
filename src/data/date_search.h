// date_search.h: finding a data record by its moment, the search that
// positions nearly every price data operation.
//
// Records lie in ascending moment order (records of the same moment may
// follow each other). A search finds the first record of the moment
// sought, or by its mode a neighbour: FindMode 0 the record at the moment
// or else the last one before it, 1 the record at the moment or else the
// first one after it, any other value exactly that moment (3, "use the
// cursor", means no search only where an operation says so).
//
// Results: 0 an exact hit (the first record of that moment); 25 a
// neighbour, whose moment then replaces the one sought; -145 nothing at or
// before a moment before the data (and every mode but 1 before the first
// record); -146 the same after the data; -148 no record of exactly that
// moment; -194 no records at all. The search reads one record per probe:
// at most log2(count) + 2 records, the first probe at the cursor, so that a
// search for the record at the cursor (or just after it) costs one or two
// reads.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_DATE_SEARCH_H_
#define ZARQ_SRC_DATA_DATE_SEARCH_H_

#include <cstdint>

#include "src/data/locked_data.h"

namespace zarq {

enum FindMode : uint32_t {
  kFindAtOrBefore = 0,
  kFindAtOrAfter = 1,
  kFindExact = 2,
  kFindAtCursor = 3,
};

// Searches the data of handle's security (held locked, ReadLock or more)
// for the moment *date, *time. The time of a security that is not timed
// is set to 0 first. *recno is the record found (0 on failure, and always
// 0 for a composite, whose search the composite reader does); with
// set_cursor, a hit or a neighbour also becomes the cursor's record.
int32_t FindRecord(uint32_t handle, int32_t* date, int32_t* time, uint16_t* recno, uint32_t mode,
                   bool set_cursor);

// The search proper over records 1..data.count() (at least one), first
// probing record hint when it lies among them. On a neighbour, *target
// becomes its moment.
int32_t SearchDataFile(const LockedData& data, Moment* target, uint32_t mode, uint16_t hint,
                       uint16_t* recno);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATE_SEARCH_H_
