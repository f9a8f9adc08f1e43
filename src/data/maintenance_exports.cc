// maintenance_exports.cc: the exported whole-file operations on one
// security's price data: adjusting, changing fields, merging, sorting and
// removing duplicates. A null pointer is -124.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "src/data/data_adjustment.h"
#include "src/data/data_merging.h"
#include "src/data/data_sorting.h"
#include "src/frame/entry_frame.h"

extern "C" {

ZARQ_API int32_t ZARQ_CALL ZARQ2_AdjustData(uint32_t handle, const ZarqDateTimePair* from,
                                            const ZarqDateTimePair* to,
                                            const ZarqAdjustSpec* adjustment) {
  return zarq::EnterInitialized([&] {
    if (from == nullptr || to == nullptr || adjustment == nullptr)
      return int32_t{ZARQ_E_INVALID_ARGUMENT};
    return zarq::AdjustData(handle, *from, *to, *adjustment);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_ChangeFieldsInData(uint32_t handle, uint16_t fieldMask) {
  return zarq::EnterInitialized([&] { return zarq::ChangeFieldsInData(handle, fieldMask); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_MergeData(uint32_t source, uint32_t destination, uint32_t mode) {
  return zarq::EnterInitialized([&] { return zarq::MergeData(source, destination, mode); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_SortData(uint32_t handle) {
  return zarq::EnterInitialized([&] { return zarq::SortData(handle); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_RemoveDuplicateDataRecs(uint32_t handle, uint32_t keep) {
  return zarq::EnterInitialized([&] { return zarq::RemoveDuplicateDataRecs(handle, keep); });
}

}  // extern "C"
