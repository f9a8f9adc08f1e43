// private_exports.cc: the private operations of this layer (ordinals 213
// to 216; by name elsewhere). 213 works in every library state; the others
// need the initialised library.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/entry_frame.h"
#include "src/private/converted_reads.h"
#include "src/private/symbol_text.h"
#include "src/private/trading_bar.h"

extern "C" {

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_ParseSecuritySymbol(char* symbol15, char* second15,
                                                             char* op, const char* text) {
  return zarq::EnterAnyState(
      [&] { return zarq::ParseSecuritySymbol(symbol15, second15, op, text); });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_GetTradingBar(int32_t start, int32_t end, uint32_t length,
                                                       const ZarqDateTimePair* moment,
                                                       ZarqDateTimePair* barStart,
                                                       ZarqDateTimePair* barRef,
                                                       ZarqDateTimePair* barEnd,
                                                       int32_t hourAligned) {
  return zarq::EnterInitialized([&] {
    return zarq::GetTradingBar(start, end, length, moment, barStart, barRef, barEnd,
                               hourAligned != 0);
  });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL
ZARQ2_ReadBackConvertedRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* end,
                            uint16_t* count, uint32_t mode, char target, uint32_t n, int32_t fill) {
  return zarq::EnterInitialized(
      [&] { return zarq::ReadBackConvertedRecs(handle, out, end, count, mode, target, n, fill); });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL
ZARQ2_ReadConvertedRecsByDates(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* start,
                               const ZarqDateTimePair* end, uint16_t* count, uint32_t mode,
                               char target, uint32_t n, int32_t fill) {
  return zarq::EnterInitialized([&] {
    return zarq::ReadConvertedRecsByDates(handle, out, start, end, count, mode, target, n, fill);
  });
}

}  // extern "C"
