// datetime_exports.cc: the exported date and time functions. They work in
// every library state.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/datetime/date_rules.h"
#include "src/datetime/date_text.h"
#include "src/frame/entry_frame.h"

extern "C" {

ZARQ_API int32_t ZARQ_CALL ZARQ1_MakeZARQDate(uint32_t* date, uint16_t month, uint16_t day,
                                              uint16_t year) {
  return zarq::EnterAnyState([&] { return zarq::MakeZarqDate(date, month, day, year); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_MakeZARQTime(uint32_t* time, uint16_t hour, uint16_t minute,
                                              uint16_t ticks) {
  return zarq::EnterAnyState([&] { return zarq::MakeZarqTime(time, hour, minute, ticks); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDayMonthYear(uint16_t* day, uint16_t* month, uint16_t* year,
                                                 int32_t date) {
  return zarq::EnterAnyState([&] { return zarq::SplitZarqDate(day, month, year, date); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetHourMinTicks(uint16_t* hour, uint16_t* minute, uint16_t* ticks,
                                                 int32_t time) {
  return zarq::EnterAnyState([&] { return zarq::SplitZarqTime(hour, minute, ticks, time); });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ1_ValidateDate(int32_t date, int32_t fullForm) {
  return zarq::EnterAnyState([&] { return zarq::ValidateDate(date, fullForm != 0); });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQ1_ValidateTime(int32_t time, int32_t fullForm) {
  return zarq::EnterAnyState([&] { return zarq::ValidateTime(time, fullForm != 0); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_FormatDate(char* text, uint16_t size, int32_t date) {
  return zarq::EnterAnyState([&] { return zarq::FormatDateText(text, size, date); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_FormatTime(char* text, uint32_t size, int32_t time,
                                            uint32_t withTicks) {
  return zarq::EnterAnyState(
      [&] { return zarq::FormatTimeText(text, size, time, withTicks != 0); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_ParseTimeString(uint32_t* time, const char* text) {
  return zarq::EnterAnyState([&] { return zarq::ParseTimeText(time, text); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_ParseDateString(uint32_t* date, const char* text) {
  return zarq::EnterAnyState([&] { return zarq::ParseDateText(date, text); });
}

}  // extern "C"
