// composite_reader.h: the records of composite securities, computed from
// their components when read; the reader installed behind the price data
// seam (composite_seam.h).
//
// A composite record pairs a primary record with the secondary record of
// the same date (for an intraday composite, the last secondary record at
// or before the primary's moment); primary records without a partner make
// no record. Pairing merges the two components' records in order: both are
// read forward in chunks into the composite's read state, each record once.
//
// A composite locked here has one of eight read states, holding its place
// in both components. The composite's cursor names that place (the primary
// record of the next pair, and the secondary record where the search for
// its partner starts); the read state follows every change of the cursor,
// and every read, search and rewind moves the cursor as it does for any
// security. Record numbers are never reported for a composite.
//
// Results beyond those of any security's reads: -194 for a composite
// without common records, -125 when no read state serves the handle. When
// a component ends, a read returns the records it made with 52 (-300 when
// it made none).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DATA_COMPOSITE_READER_H_
#define ZARQ_SRC_DATA_COMPOSITE_READER_H_

#include <cstdint>

namespace zarq {

inline constexpr int kCompositeStateCount = 8;

// The read states in use (for tests).
int CompositeStatesInUse();

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_COMPOSITE_READER_H_
