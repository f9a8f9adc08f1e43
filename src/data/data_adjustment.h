// data_adjustment.h: whole-file changes of one security's price values:
// an arithmetic adjustment of a range of records, and the conversion of
// every record to another set of fields.
//
// Both rebuild the data file beside the old one and swap it in
// (data_rebuild.h): a failure at any point leaves the old file whole and
// the working copy unchanged, so a retry never adjusts a record twice.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_DATA_ADJUSTMENT_H_
#define ZARQ_SRC_DATA_DATA_ADJUSTMENT_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// Applies adjustment to record in place: each price field of the record's mask
// whose operand is not 0 is changed by its operator ('+', '-', '/', any
// other character multiplies), in double precision, in the order close,
// high, low, open interest, open, volume; an adjusted volume is then
// floored. A placeholder record is left alone; dates and times never
// change.
void ApplyAdjustment(ZarqPriceRecord* record, const ZarqAdjustSpec& adjustment);

// True when every operand is a finite number.
bool AdjustOperandsFinite(const ZarqAdjustSpec& adjustment);

// ZARQ2_AdjustData: the records from the first at or after from to the
// last at or before to (the cursor ends on that one), adjusted by adjustment.
// -193 for a composite; WriteLock; -124 for an operand that is not a
// finite number; the search's failures; -169 for an empty range.
int32_t AdjustData(uint32_t handle, const ZarqDateTimePair& from, const ZarqDateTimePair& to,
                   const ZarqAdjustSpec& adjustment);

// ZARQ2_ChangeFieldsInData: every record converted to mask (fields it adds
// read 0, except an added OPEN, which is the previous real record's close
// held within the record's low..high range); the new mask reaches the
// security list file right after the swap. -193 for a composite;
// FullLock; 0 and nothing done for the mask in force; -170 for a mask
// that is not the canonical one of its field count (4..8) and the
// security's period.
int32_t ChangeFieldsInData(uint32_t handle, uint16_t mask);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATA_ADJUSTMENT_H_
