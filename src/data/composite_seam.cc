// composite_seam.cc: the composite reader in force, and the one that
// answers until the composite layer installs its own.
//
// Thread-safety: see composite_seam.h.

#include "src/data/composite_seam.h"

namespace zarq {
namespace {

int32_t NoFind(uint32_t, int32_t*, int32_t*, uint32_t, bool) { return ZARQ_E_IS_COMPOSITE; }

int32_t NoRead(uint32_t, ZarqPriceRecord*, uint16_t* count) {
  *count = 0;
  return ZARQ_E_IS_COMPOSITE;
}

int32_t NoReadBack(uint32_t, ZarqPriceRecord*, const ZarqDateTimePair&, uint16_t* count, uint32_t) {
  *count = 0;
  return ZARQ_E_IS_COMPOSITE;
}

int32_t NoReadByDates(uint32_t, ZarqPriceRecord*, const ZarqDateTimePair&, const ZarqDateTimePair&,
                      uint16_t* count, uint32_t) {
  *count = 0;
  return ZARQ_E_IS_COMPOSITE;
}

void NoReset(uint32_t, DataCursor) {}

constexpr CompositeReader kNoReader = {&NoFind, &NoRead, &NoReadBack, &NoReadByDates, &NoReset};

constinit CompositeReader g_reader = kNoReader;

}  // namespace

const CompositeReader& Composites() { return g_reader; }

CompositeReader InstallCompositeReader(const CompositeReader& reader) {
  CompositeReader previous = g_reader;
  g_reader = reader;
  return previous;
}

}  // namespace zarq
