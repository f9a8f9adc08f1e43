// Date arithmetic against an independent calendar (std::chrono).

#include "src/datetime/calendar.h"

#include <gtest/gtest.h>

#include <chrono>

#include "src/datetime/date_rules.h"
#include "src/datetime/record_time.h"

namespace zarq {
namespace {

using namespace std::chrono;

int32_t ToZarq(const year_month_day& ymd) {
  return static_cast<int>(ymd.year()) * 10000 + static_cast<int>(unsigned(ymd.month())) * 100 +
         static_cast<int>(unsigned(ymd.day()));
}

TEST(CalendarTest, EveryValidDayRoundTripsThroughDayNumbers) {
  // The day number is the proleptic Gregorian count from 1 January 0001
  // (day 1) plus 377; std::chrono counts days from 1 January 1970.
  constexpr int kOffset = 719163 + 377;
  sys_days day = sys_days{year{1800} / January / 1};
  const sys_days last = sys_days{year{2200} / December / 31};
  int32_t previous = DateToDayNumber(18000101) - 1;
  int count = 0;
  for (; day <= last; day += days{1}, ++count) {
    int32_t date = ToZarq(year_month_day{day});
    int32_t number = DateToDayNumber(date);
    ASSERT_EQ(number, day.time_since_epoch().count() + kOffset) << date;
    ASSERT_EQ(number, previous + 1) << date;
    ASSERT_EQ(DayNumberToDate(number), date) << number;
    unsigned monday_based = (weekday{day}.c_encoding() + 6) % 7;
    ASSERT_EQ(DayOfWeek(date), static_cast<int32_t>(monday_based)) << date;
    ASSERT_EQ(ValidateDate(date, true), ZARQ_OK) << date;
    previous = number;
  }
  EXPECT_EQ(count, 146462);
  EXPECT_EQ(DateToDayNumber(19000101), 693973);
  EXPECT_EQ(DayOfWeek(19700101), 3);
  EXPECT_EQ(DayOfWeek(20000101), 5);
}

TEST(CalendarTest, DaysInMonth) {
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2004, 2), 29);
  EXPECT_EQ(DaysInMonth(2001, 4), 30);
  EXPECT_EQ(DaysInMonth(2001, 12), 31);
  EXPECT_EQ(DaysInMonth(2001, 0), 0);
  EXPECT_EQ(DaysInMonth(2001, 13), 0);
}

struct AddCase {
  int32_t date, time, days, hours, minutes;
  int32_t want_date, want_time;
};

TEST(CalendarTest, AddToDateTimeCrossesMidnightMonthsYearsAndLeapDays) {
  const AddCase cases[] = {
      {20001231, 2359123, 0, 0, 1, 20010101, 123},        // year end, ticks kept
      {20000301, 0, 0, 0, -1, 20000229, 2359000},         // back over a leap day
      {20000301, 500000, 0, 0, -1440, 20000229, 500000},  // one whole day back
      {19000301, 0, -1, 0, 0, 19000228, 0},               // 1900 is no leap year
      {20040228, 1200000, 1, 0, 0, 20040229, 1200000},    // one day forward
      {20040229, 2300000, 0, 2, 0, 20040301, 100000},     // hours over a month end
      {20000115, 1000000, 0, 0, 0, 20000115, 1000000},    // nothing to do
      {20000115, 0, 0, 0, 600, 20000115, 1000000},        // minutes from midnight
      {20000101, 0, 0, 0, -4321, 19991228, 2359000},      // several days back
  };
  for (const AddCase& c : cases) {
    int32_t date = 0, time = 0;
    AddToDateTime(&date, &time, c.date, c.time, c.days, c.hours, c.minutes);
    EXPECT_EQ(date, c.want_date) << c.date << " " << c.time << " " << c.minutes;
    EXPECT_EQ(time, c.want_time) << c.date << " " << c.time << " " << c.minutes;
  }
}

TEST(CalendarTest, MinutesBetweenIgnoresTicks) {
  EXPECT_EQ(MinutesBetween(20000301, 0, 20000229, 2359999), 1);
  EXPECT_EQ(MinutesBetween(20000229, 2359999, 20000301, 0), -1);
  EXPECT_EQ(MinutesBetween(20010101, 0, 20000101, 0), 366 * 1440);
  EXPECT_EQ(MinutesBetween(20000101, 930500, 20000101, 930000), 0);
  EXPECT_EQ(MinutesBetween(22001231, 2359000, 18000101, 0),
            (DateToDayNumber(22001231) - DateToDayNumber(18000101)) * 1440 + 1439);
}

TEST(RecordTimeTest, EveryValidTimeRoundTripsAndFitsAFloat) {
  for (int32_t hour = 0; hour < 24; ++hour) {
    for (int32_t minute = 0; minute < 60; ++minute) {
      for (int32_t ticks = 0; ticks < 1000; ++ticks) {
        int32_t time = hour * 100000 + minute * 1000 + ticks;
        int32_t stored = ZarqTimeToRecord(time);
        ASSERT_LT(stored, 1 << 24) << time;
        ASSERT_EQ(static_cast<int32_t>(static_cast<float>(stored)), stored) << time;
        ASSERT_EQ(RecordTimeToZarq(stored), time) << time;
      }
    }
  }
  EXPECT_EQ(ZarqTimeToRecord(1230456), 4123056);
  EXPECT_EQ(ZarqTimeToRecord(930015), 93015);
  EXPECT_EQ(RecordTimeToZarq(93015), 930015);
}

TEST(RecordTimeTest, RecordDates) {
  EXPECT_EQ(ZarqDateToRecord(20091231), 1091231);
  EXPECT_EQ(ZarqDateToRecord(19991231), 991231);
  EXPECT_EQ(RecordDateToZarq(ZarqDateToRecord(18500615)), 18500615);
  EXPECT_LT(ZarqDateToRecord(18991231), 0);
}

}  // namespace
}  // namespace zarq
