// calendar.h: arithmetic on ZARQ dates and times.
//
// A ZARQ date is year*10000 + month*100 + day; a ZARQ time is
// hour*100000 + minute*1000 + ticks (ticks 0..999 order records within a
// minute). Day numbers are a linear count with 1 January 1900 = 693973 and
// Monday = 0 modulo 7; they are never stored.
//
// These take validated values and validate nothing themselves.
// Thread-safety: pure functions, except GetCurrentDateTime (reads the clock).

#ifndef ZARQ_SRC_DATETIME_CALENDAR_H_
#define ZARQ_SRC_DATETIME_CALENDAR_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

bool IsLeapYear(int32_t year);

// 28..31, or 0 for a month outside 1..12.
int32_t DaysInMonth(int32_t year, int32_t month);

int32_t DateToDayNumber(int32_t date);
int32_t DayNumberToDate(int32_t day_number);

// 0 Monday .. 6 Sunday.
int32_t DayOfWeek(int32_t date);

// Moves (date, time) by days, hours and minutes; ticks are kept. The date is
// recomputed only when the day changes.
void AddToDateTime(int32_t* out_date, int32_t* out_time, int32_t date, int32_t time, int32_t days,
                   int32_t hours, int32_t minutes);

// Minutes from the second moment to the first; ticks are ignored.
int32_t MinutesBetween(int32_t date1, int32_t time1, int32_t date2, int32_t time2);

// The local date and time to the minute (ticks 0).
ZarqDateTimePair GetCurrentDateTime();

}  // namespace zarq

#endif  // ZARQ_SRC_DATETIME_CALENDAR_H_
