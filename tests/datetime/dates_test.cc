// Dates and times: day numbers against an independent calendar
// (std::chrono), arithmetic, the stored forms, validation, building and
// splitting, and the two-digit-year window.

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "include/zarq.h"
#include "src/datetime/calendar.h"
#include "src/datetime/date_rules.h"
#include "src/datetime/record_time.h"
#include "tests/support/platform_doubles.h"

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
  const sys_days last = sys_days{year{2200} / December / 31};
  int count = 0;
  for (sys_days day = sys_days{year{1800} / January / 1}; day <= last; day += days{1}, ++count) {
    year_month_day ymd{day};
    int32_t date = ToZarq(ymd);
    int32_t number = DateToDayNumber(date);
    ASSERT_EQ(number, day.time_since_epoch().count() + kOffset) << date;
    ASSERT_EQ(DayNumberToDate(number), date) << number;
    ASSERT_EQ(DayOfWeek(date), static_cast<int32_t>((weekday{day}.c_encoding() + 6) % 7)) << date;
    ASSERT_EQ(ValidateDate(date, true), ZARQ_OK) << date;
    if (year_month_day{day + days{1}}.month() != ymd.month()) {
      ASSERT_EQ(DaysInMonth(date / 10000, date / 100 % 100), date % 100) << date;
    }
  }
  EXPECT_EQ(count, 146462);
  EXPECT_EQ(DaysInMonth(2001, 0) + DaysInMonth(2001, 13), 0);
}

TEST(CalendarTest, AddToDateTimeCrossesMidnightMonthsYearsAndLeapDays) {
  const struct {
    int32_t date, time, days, hours, minutes, want_date, want_time;
  } cases[] = {
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
  for (const auto& c : cases) {
    int32_t date = 0, time = 0;
    AddToDateTime(&date, &time, c.date, c.time, c.days, c.hours, c.minutes);
    EXPECT_EQ(std::tie(date, time), std::tie(c.want_date, c.want_time))
        << c.date << " " << c.time << " " << c.minutes;
  }
  // MinutesBetween ignores ticks.
  EXPECT_EQ(MinutesBetween(20000301, 0, 20000229, 2359999), 1);
  EXPECT_EQ(MinutesBetween(20000229, 2359999, 20000301, 0), -1);
  EXPECT_EQ(MinutesBetween(20010101, 0, 20000101, 0), 366 * 1440);
  EXPECT_EQ(MinutesBetween(20000101, 930500, 20000101, 930000), 0);
  EXPECT_EQ(MinutesBetween(22001231, 2359000, 18000101, 0), 146461 * 1440 + 1439);
}

TEST(RecordTimeTest, EveryValidTimeRoundTripsAndFitsAFloat) {
  for (int32_t hour = 0; hour < 24; ++hour) {
    for (int32_t minute = 0; minute < 60; ++minute) {
      for (int32_t ticks = 0; ticks < 1000; ++ticks) {
        int32_t time = hour * 100000 + minute * 1000 + ticks;
        int32_t stored = ZarqTimeToRecord(time);
        ASSERT_LT(stored, 1 << 24) << time;
        ASSERT_EQ(RecordTimeToZarq(stored), time) << time;
      }
    }
  }
  EXPECT_EQ(ZarqTimeToRecord(1230456), 4123056);
  EXPECT_EQ(ZarqTimeToRecord(930015), 93015);
  EXPECT_EQ(ZarqDateToRecord(20091231), 1091231);
  EXPECT_EQ(ZarqDateToRecord(19991231), 991231);
  EXPECT_EQ(RecordDateToZarq(ZarqDateToRecord(18500615)), 18500615);
  EXPECT_LT(ZarqDateToRecord(18991231), 0);
}

TEST(DateRulesTest, BoundsInBothForms) {
  for (int32_t date : {17991231, 22010101, 19000229, 20090631, 20091301, 20090100, 0, -20090101}) {
    EXPECT_EQ(ValidateDate(date, true), ZARQ_E_BAD_DATE) << date;
  }
  for (int32_t date : {1090601, 991231, 3001231}) EXPECT_EQ(ValidateDate(date, false), ZARQ_OK);
  for (int32_t date : {1, 0, -1, 3010101, 2147483647}) {
    EXPECT_EQ(ValidateDate(date, false), ZARQ_E_BAD_DATE) << date;
  }
  for (int32_t time : {0, 2359999, 1000}) EXPECT_EQ(ValidateTime(time, true), ZARQ_OK);
  for (int32_t time : {2400000, 1260000, -1}) {
    EXPECT_EQ(ValidateTime(time, true), ZARQ_E_BAD_TIME) << time;
  }
  for (int32_t time : {0, 235959}) EXPECT_EQ(ValidateTime(time, false), ZARQ_OK);
  for (int32_t time : {235960, 236000, 240000, -5}) {
    EXPECT_EQ(ValidateTime(time, false), ZARQ_E_BAD_TIME) << time;
  }
}

TEST(DateRulesTest, TheTwoDigitYearWindowAndTheCurrentDateTime) {
  zarq_test::InstalledFaults os;
  const std::pair<int, int> fixed[] = {{0, 2000}, {29, 2029}, {30, 1930}, {99, 1999}, {100, 0}};
  for (auto [year, want] : fixed) EXPECT_EQ(ExpandTwoDigitYear(year), want) << year;
  os.two_digit_year_max = "2049";
  EXPECT_EQ(std::make_tuple(ExpandTwoDigitYear(49), ExpandTwoDigitYear(50)),
            std::make_tuple(2049, 1950));
  os.two_digit_year_max = "2030 and more";  // leading digits count
  EXPECT_EQ(ExpandTwoDigitYear(30), 2030);
  for (const char* ignored : {"2100", "1999", "", "abc", "99999999999999999999"}) {
    os.two_digit_year_max = ignored;
    EXPECT_EQ(ExpandTwoDigitYear(30), 1930) << ignored;
  }
  // The current date and time drop seconds and milliseconds.
  os.local_time = LocalDateTime{2009, 6, 1, 14, 7, 59, 999};
  ZarqDateTimePair now = GetCurrentDateTime();
  EXPECT_EQ(std::tie(now.Date, now.Time), std::make_tuple(20090601, 1407000));
}

TEST(DateRulesTest, MakeAndSplit) {
  zarq_test::InstalledFaults os;
  // clang-format off
  const struct { uint16_t month, day, year; uint32_t want; /* 0: refused */ } dates[] = {
      {2, 29, 2000, 20000229}, {2, 29, 1900, 0}, {6, 1, 9, 20090601},
      {1, 1, 100, 0} /* not widened */, {1, 1, 1799, 0}};
  const struct { uint16_t hour, minute, ticks; uint32_t want; } times[] = {
      {23, 59, 999, 2359999}, {0, 0, 1000, 1000} /* ticks carry into minutes */,
      {24, 0, 0, 0}, {12, 60, 0, 0},
      {42950, 0, 0, 0}};  // would wrap a 32-bit composition into a valid time
  // clang-format on
  for (const auto& c : dates) {
    uint32_t date = 123;
    EXPECT_EQ(MakeZarqDate(&date, c.month, c.day, c.year), c.want ? ZARQ_OK : ZARQ_E_BAD_DATE);
    EXPECT_EQ(date, c.want) << c.year;
  }
  for (const auto& c : times) {
    uint32_t time = 5;
    EXPECT_EQ(MakeZarqTime(&time, c.hour, c.minute, c.ticks), c.want ? ZARQ_OK : ZARQ_E_BAD_TIME);
    EXPECT_EQ(time, c.want) << c.hour;
  }
  uint16_t a = 9, b = 9, c = 9;
  EXPECT_EQ(SplitZarqDate(&a, &b, &c, 20090601), ZARQ_OK);
  EXPECT_EQ(std::tie(a, b, c), std::make_tuple(1, 6, 2009));
  EXPECT_EQ(SplitZarqDate(&a, &b, &c, 20090631), ZARQ_E_BAD_DATE);
  EXPECT_EQ(a + b + c, 0);
  EXPECT_EQ(SplitZarqTime(&a, &b, &c, 1230456), ZARQ_OK);
  EXPECT_EQ(std::tie(a, b, c), std::make_tuple(12, 30, 456));
  EXPECT_EQ(SplitZarqTime(&a, &b, &c, 2400000), ZARQ_E_BAD_TIME);
  EXPECT_EQ(a + b + c, 0);
  EXPECT_EQ(MakeZarqDate(nullptr, 1, 1, 2000), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(MakeZarqTime(nullptr, 1, 1, 1), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(SplitZarqDate(&a, nullptr, &c, 20090601), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(SplitZarqTime(nullptr, &b, &c, 0), ZARQ_E_INVALID_ARGUMENT);
}

}  // namespace
}  // namespace zarq
