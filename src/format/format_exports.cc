// format_exports.cc: the stored formats's private operations (ordinals
// 203, 204, 205 and 207). They work in every library state and do nothing
// (or answer 0) for a null pointer.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/format/mbf.h"
#include "src/format/price_codec.h"
#include "src/frame/entry_frame.h"

extern "C" {

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_IeeeToMbf(uint8_t* out4, const float* value) {
  zarq::EnterAnyState([&] {
    if (out4 != nullptr && value != nullptr) zarq::IeeeToMbf(*value, out4);
    return ZARQ_OK;
  });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_IsPlaceholderRecord(const ZarqPriceRecord* rec) {
  return zarq::EnterAnyState(
      [&] { return rec != nullptr && zarq::IsPlaceholderRecord(*rec) ? 1 : 0; });
}

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_MbfToIeee(float* out, const uint8_t* in4, int32_t clampMode) {
  zarq::EnterAnyState([&] {
    if (out != nullptr && in4 != nullptr) *out = zarq::MbfToIeee(in4, clampMode);
    return ZARQ_OK;
  });
}

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_SanitizeFloat(float* value, int32_t clampMode) {
  zarq::EnterAnyState([&] {
    if (value != nullptr) *value = zarq::SanitizeFloat(*value, clampMode);
    return ZARQ_OK;
  });
}

}  // extern "C"
