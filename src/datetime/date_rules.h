// date_rules.h: validity of ZARQ dates and times and of their short forms,
// building and splitting them, and the two-digit-year window.
//
// Full forms: date yyyymmdd within 18000101..22001231; time hhmmttt up to
// 2359999 with minutes 0..59. Short forms: date yyyymmdd - 19000000 (only
// positive values); time hhmmss.
//
// Thread-safety: pure, except ExpandTwoDigitYear (reads the configured
// window afresh on every call).

#ifndef ZARQ_SRC_DATETIME_DATE_RULES_H_
#define ZARQ_SRC_DATETIME_DATE_RULES_H_

#include <cstdint>

namespace zarq {

inline constexpr int32_t kFirstValidDate = 18000101;
inline constexpr int32_t kLastValidDate = 22001231;
inline constexpr int32_t kLastValidTime = 2359999;
inline constexpr int32_t kShortDateOffset = 19000000;

// 0, or ZARQ_E_BAD_DATE.
int32_t ValidateDate(int32_t date, bool full_form);
// 0, or ZARQ_E_BAD_TIME.
int32_t ValidateTime(int32_t time, bool full_form);

// A year of 0..99 widened by the window (pivot 29 unless configured: years up
// to the pivot are 20yy, later ones 19yy); 0 for a year above 99.
uint16_t ExpandTwoDigitYear(uint16_t year);

// ZARQ1_MakeZARQDate without its frame: *date is the date or 0.
int32_t MakeZarqDate(uint32_t* date, uint16_t month, uint16_t day, uint16_t year);
// ZARQ1_MakeZARQTime without its frame: *time is the time or 0.
int32_t MakeZarqTime(uint32_t* time, uint16_t hour, uint16_t minute, uint16_t ticks);
// ZARQ1_GetDayMonthYear without its frame; outputs 0 on failure.
int32_t SplitZarqDate(uint16_t* day, uint16_t* month, uint16_t* year, int32_t date);
// ZARQ1_GetHourMinTicks without its frame; outputs 0 on failure.
int32_t SplitZarqTime(uint16_t* hour, uint16_t* minute, uint16_t* ticks, int32_t time);

}  // namespace zarq

#endif  // ZARQ_SRC_DATETIME_DATE_RULES_H_
