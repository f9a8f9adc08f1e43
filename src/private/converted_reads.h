// converted_reads.h: price data read as bars of a longer period (ordinals
// 215 and 216): weekly, monthly, quarterly or yearly bars of daily data;
// daily and longer bars, or bars of n minutes, of intraday data; bars of n
// records ('O').
//
// The data is walked backward from the end moment in blocks read through
// the ordinary reads (so composites convert like any other security); each
// block continues by record number from where the one before it began.
// Placeholder records are skipped, and so are intraday records outside the
// security's trading window: interval data (stamped at the end of its bar)
// counts the minutes after the start up to and including the end, tick
// data the minutes from the start up to the end. Interval data is grouped
// by the bar it ends, tick data by the bar it lies in. A bar keeps the
// date, time, close and open interest of its latest record, the open of
// its earliest, the extreme high and low, and the sum of the volumes; a
// price field the source lacks (and, in tick data, a price of 0) takes the
// record's close. Converted bars carry OPEN, HIGH and LOW, and no TIME
// unless they are bars of n minutes, which are stamped with the end of
// their trading window bar on the session's date.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_PRIVATE_CONVERTED_READS_H_
#define ZARQ_SRC_PRIVATE_CONVERTED_READS_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// 0 for the same period (no conversion), a positive value for a longer
// target, -1 for a target that is not longer (target 'I' is taken as 'N').
int32_t ComparePeriods(char target, char source, uint32_t n, uint32_t source_interval);

// Ordinal 215: up to *count bars ending at the last record at or before
// *end, in time order at the front of out. -169 for a count outside
// 1..65500 (before anything is written); the plain
// ZARQ2_ReadBackMultipleRecs for the security's own period (or 'O' with n
// below 2); -99 for a target that is not longer. With fill, bars of n
// minutes missing between two bars of one session are filled with the
// earlier bar's close and no volume, as far as out has room. 0; 52 when
// fewer bars than asked exist; or a lock or read error.
int32_t ReadBackConvertedRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* end,
                              uint16_t* count, uint32_t mode, char target, uint32_t n,
                              int32_t fill);

// Ordinal 216: the bars from the one holding the start moment to the one
// holding the end moment (whole bars), as 215 (the plain read is
// ZARQ2_ReadMultipleRecsByDates). 0; 53 when out filled while bars of the
// range remain; 52 when the data begins after the start moment and fewer
// bars than asked exist; or an error.
int32_t ReadConvertedRecsByDates(uint32_t handle, ZarqPriceRecord* out,
                                 const ZarqDateTimePair* start, const ZarqDateTimePair* end,
                                 uint16_t* count, uint32_t mode, char target, uint32_t n,
                                 int32_t fill);

}  // namespace zarq

#endif  // ZARQ_SRC_PRIVATE_CONVERTED_READS_H_
