// composite_seam.h: where the price data layer hands a composite security
// over to the composite reader.
//
// A composite security keeps no data file: its records are computed from
// its two components when read. The searching and reading operations pass
// a composite's handle to the reader installed here, with their own
// arguments and result contract; every cursor change of a composite is
// reported to it so that it can restart its read state there. Until a
// reader is installed, each hand-over answers ZARQ_E_IS_COMPOSITE (-193)
// and a reset does nothing.
//
// Thread-safety: callers hold the library lock; a reader is installed at
// start-up (or by a test) while no data operation runs.

#ifndef ZARQ_SRC_DATA_COMPOSITE_SEAM_H_
#define ZARQ_SRC_DATA_COMPOSITE_SEAM_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/security/lock_table.h"

namespace zarq {

struct CompositeReader {
  // FindRecord of a composite (date_search.h): the moment in and out, no
  // record number (composites report none).
  int32_t (*find)(uint32_t handle, int32_t* date, int32_t* time, uint32_t mode, bool set_cursor);
  // ReadAtCursor of a composite (record_reading.h): *count in, made out.
  int32_t (*read)(uint32_t handle, ZarqPriceRecord* out, uint16_t* count);
  // ZARQ2_ReadBackMultipleRecs and ZARQ2_ReadMultipleRecsByDates of a
  // composite, after the count was checked.
  int32_t (*read_back)(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair& end,
                       uint16_t* count, uint32_t mode);
  int32_t (*read_by_dates)(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair& start,
                           const ZarqDateTimePair& end, uint16_t* count, uint32_t mode);
  // The composite's cursor was set to cursor: its read state restarts there.
  void (*reset)(uint32_t handle, DataCursor cursor);
};

// The reader in force.
const CompositeReader& Composites();

// Installs reader and returns the one it replaces (for a test to put back).
CompositeReader InstallCompositeReader(const CompositeReader& reader);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_COMPOSITE_SEAM_H_
