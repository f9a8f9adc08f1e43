// store_exports.cc: the security record store's operation exported by
// ordinal (211).
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/entry_frame.h"
#include "src/master/format_levels.h"

extern "C" {

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetFormatLevels(uint8_t dir, uint16_t* levels4) {
  return zarq::EnterInitialized([&] { return zarq::GetFormatLevels(dir, levels4); });
}

}  // extern "C"
