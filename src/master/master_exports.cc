// master_exports.cc: the text operations of the security directory files
// exported by ordinal (200 and 206). They work in every library state and
// do nothing for a null text.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/entry_frame.h"
#include "src/master/text_rules.h"

extern "C" {

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_CopyCleanText(char* dst, const char* src, int32_t maxLength) {
  zarq::EnterAnyState([&] {
    zarq::CopyCleanText(dst, src, maxLength);
    return ZARQ_OK;
  });
}

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_PadText(char* text, char fill, int32_t length) {
  zarq::EnterAnyState([&] {
    zarq::PadText(text, fill, length);
    return ZARQ_OK;
  });
}

}  // extern "C"
