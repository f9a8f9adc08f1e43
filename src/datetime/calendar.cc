// calendar.cc: day numbers and date/time arithmetic.
//
// Thread-safety: pure, except GetCurrentDateTime.

#include "src/datetime/calendar.h"

#include "src/platform/platform.h"

namespace zarq {
namespace {

// Division rounding toward minus infinity, and its non-negative remainder.
int32_t FloorDiv(int32_t a, int32_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int32_t FloorMod(int32_t a, int32_t b) { return a - FloorDiv(a, b) * b; }

}  // namespace

bool IsLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

int32_t DateToDayNumber(int32_t date) {
  int32_t y = date / 10000;
  int32_t m = (date % 10000) / 100;
  int32_t d = date % 100;
  int32_t k = 0;
  int32_t q = 0;
  if (m <= 2) {
    q = (y - 1) / 4;
  } else {
    // The integer part of 0.4 * m + 2.3.
    static constexpr int32_t kMonthCorrection[13] = {0, 0, 0, 3, 3, 4, 4, 5, 5, 5, 6, 6, 7};
    k = (m >= 3 && m <= 12) ? kMonthCorrection[m] : static_cast<int32_t>(0.4 * m + 2.3);
    q = y / 4;
  }
  int32_t c = 3 * ((y - 1600) / 400) + (y % 400) / 100;
  int32_t j = (y >= 1700 && m <= 2 && y % 100 == 0 && y % 400 != 0) ? 1 : 0;
  return 365 * y + 31 * m + d - 31 - k + q - c + j;
}

int32_t DayNumberToDate(int32_t day_number) {
  int32_t year = day_number / 366;
  year += (day_number - DateToDayNumber(year * 10000 + 101)) / 366;
  int32_t remaining = day_number - DateToDayNumber(year * 10000 + 101);
  int32_t month = 1;
  int32_t day = 1;
  // Whole months at a time; the year estimate may be one short, so the walk
  // may cross into the next year.
  while (remaining > 0) {
    int32_t to_next_month = DaysInMonth(year, month) - day + 1;
    if (remaining < to_next_month) {
      day += remaining;
      break;
    }
    remaining -= to_next_month;
    day = 1;
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return year * 10000 + month * 100 + day;
}

int32_t DayOfWeek(int32_t date) { return DateToDayNumber(date) % 7; }

void AddToDateTime(int32_t* out_date, int32_t* out_time, int32_t date, int32_t time, int32_t days,
                   int32_t hours, int32_t minutes) {
  *out_date = date;
  *out_time = time;
  int32_t day_shift = 0;
  if (hours != 0 || minutes != 0) {
    int32_t hour = time / 100000;
    int32_t minute = (time % 100000) / 1000;
    int32_t ticks = time % 1000;
    int32_t total = (hour + hours) * 60 + minute + minutes;
    if (total < 0 || total >= 1440) {
      day_shift = FloorDiv(total, 1440);
      total = FloorMod(total, 1440);
    }
    *out_time = (total / 60 * 100 + total % 60) * 1000 + ticks;
  }
  if (day_shift != 0 || days != 0) {
    *out_date = DayNumberToDate(DateToDayNumber(date) + day_shift + days);
  }
}

int32_t MinutesBetween(int32_t date1, int32_t time1, int32_t date2, int32_t time2) {
  auto minute_of = [](int32_t date, int32_t time) {
    return static_cast<int64_t>(DateToDayNumber(date)) * 1440 + (time / 100000) * 60 +
           (time % 100000) / 1000;
  };
  return static_cast<int32_t>(minute_of(date1, time1) - minute_of(date2, time2));
}

ZarqDateTimePair GetCurrentDateTime() {
  LocalDateTime now = Os().LocalTime();
  ZarqDateTimePair pair;
  pair.Date = (now.year * 100 + now.month) * 100 + now.day;
  pair.Time = (now.hour * 100 + now.minute) * 1000;
  return pair;
}

}  // namespace zarq
