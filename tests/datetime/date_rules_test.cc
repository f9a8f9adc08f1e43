// Validation, building and splitting of dates and times, and the
// two-digit-year window.

#include "src/datetime/date_rules.h"

#include <gtest/gtest.h>

#include "include/zarq.h"
#include "src/datetime/calendar.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

struct DateCase {
  int32_t value;
  bool full_form;
  int32_t want;
};

TEST(DateRulesTest, DateBoundsInBothForms) {
  const DateCase cases[] = {
      {18000101, true, ZARQ_OK},
      {17991231, true, ZARQ_E_BAD_DATE},
      {22001231, true, ZARQ_OK},
      {22010101, true, ZARQ_E_BAD_DATE},
      {20000229, true, ZARQ_OK},
      {19000229, true, ZARQ_E_BAD_DATE},
      {20090631, true, ZARQ_E_BAD_DATE},
      {20091301, true, ZARQ_E_BAD_DATE},
      {20090100, true, ZARQ_E_BAD_DATE},
      {0, true, ZARQ_E_BAD_DATE},
      {-20090101, true, ZARQ_E_BAD_DATE},
      {1090601, false, ZARQ_OK},
      {991231, false, ZARQ_OK},
      {1, false, ZARQ_E_BAD_DATE},
      {0, false, ZARQ_E_BAD_DATE},
      {-1, false, ZARQ_E_BAD_DATE},
      {3001231, false, ZARQ_OK},
      {3010101, false, ZARQ_E_BAD_DATE},
      {2147483647, false, ZARQ_E_BAD_DATE},
  };
  for (const DateCase& c : cases) {
    EXPECT_EQ(ValidateDate(c.value, c.full_form), c.want) << c.value << " " << c.full_form;
  }
}

TEST(DateRulesTest, TimeBoundsInBothForms) {
  const DateCase cases[] = {
      {0, true, ZARQ_OK},
      {2359999, true, ZARQ_OK},
      {2400000, true, ZARQ_E_BAD_TIME},
      {1260000, true, ZARQ_E_BAD_TIME},
      {-1, true, ZARQ_E_BAD_TIME},
      {1000, true, ZARQ_OK},
      {235959, false, ZARQ_OK},
      {235960, false, ZARQ_E_BAD_TIME},
      {236000, false, ZARQ_E_BAD_TIME},
      {240000, false, ZARQ_E_BAD_TIME},
      {-5, false, ZARQ_E_BAD_TIME},
      {0, false, ZARQ_OK},
  };
  for (const DateCase& c : cases) {
    EXPECT_EQ(ValidateTime(c.value, c.full_form), c.want) << c.value << " " << c.full_form;
  }
}

TEST(DateRulesTest, TwoDigitYearWindow) {
  zarq_test::ProcessDouble os;
  zarq_test::ScopedPlatform installed(&os);
  EXPECT_EQ(ExpandTwoDigitYear(0), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(29), 2029);
  EXPECT_EQ(ExpandTwoDigitYear(30), 1930);
  EXPECT_EQ(ExpandTwoDigitYear(99), 1999);
  EXPECT_EQ(ExpandTwoDigitYear(100), 0);

  os.two_digit_year_max = "2049";
  EXPECT_EQ(ExpandTwoDigitYear(49), 2049);
  EXPECT_EQ(ExpandTwoDigitYear(50), 1950);
  os.two_digit_year_max = "2030 and more";  // leading digits count
  EXPECT_EQ(ExpandTwoDigitYear(30), 2030);
  for (const char* ignored : {"2100", "1999", "", "abc", "99999999999999999999"}) {
    os.two_digit_year_max = ignored;
    EXPECT_EQ(ExpandTwoDigitYear(30), 1930) << ignored;
  }
}

TEST(DateRulesTest, MakeAndSplit) {
  zarq_test::ProcessDouble os;
  zarq_test::ScopedPlatform installed(&os);
  uint32_t date = 123;
  EXPECT_EQ(MakeZarqDate(&date, 2, 29, 2000), ZARQ_OK);
  EXPECT_EQ(date, 20000229u);
  EXPECT_EQ(MakeZarqDate(&date, 2, 29, 1900), ZARQ_E_BAD_DATE);
  EXPECT_EQ(date, 0u);
  EXPECT_EQ(MakeZarqDate(&date, 6, 1, 9), ZARQ_OK);
  EXPECT_EQ(date, 20090601u);
  EXPECT_EQ(MakeZarqDate(&date, 1, 1, 100), ZARQ_E_BAD_DATE);  // not widened
  EXPECT_EQ(MakeZarqDate(&date, 1, 1, 1799), ZARQ_E_BAD_DATE);
  EXPECT_EQ(MakeZarqDate(nullptr, 1, 1, 2000), ZARQ_E_INVALID_ARGUMENT);

  uint32_t time = 5;
  EXPECT_EQ(MakeZarqTime(&time, 23, 59, 999), ZARQ_OK);
  EXPECT_EQ(time, 2359999u);
  EXPECT_EQ(MakeZarqTime(&time, 0, 0, 1000), ZARQ_OK);  // ticks carry into minutes
  EXPECT_EQ(time, 1000u);
  EXPECT_EQ(MakeZarqTime(&time, 24, 0, 0), ZARQ_E_BAD_TIME);
  EXPECT_EQ(time, 0u);
  EXPECT_EQ(MakeZarqTime(&time, 12, 60, 0), ZARQ_E_BAD_TIME);
  // 42950 hours would wrap a 32-bit composition into a valid-looking time.
  EXPECT_EQ(MakeZarqTime(&time, 42950, 0, 0), ZARQ_E_BAD_TIME);
  EXPECT_EQ(time, 0u);
  EXPECT_EQ(MakeZarqTime(nullptr, 1, 1, 1), ZARQ_E_INVALID_ARGUMENT);

  uint16_t a = 9, b = 9, c = 9;
  EXPECT_EQ(SplitZarqDate(&a, &b, &c, 20090601), ZARQ_OK);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 6);
  EXPECT_EQ(c, 2009);
  EXPECT_EQ(SplitZarqDate(&a, &b, &c, 20090631), ZARQ_E_BAD_DATE);
  EXPECT_EQ(a + b + c, 0);
  EXPECT_EQ(SplitZarqDate(&a, nullptr, &c, 20090601), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(SplitZarqTime(&a, &b, &c, 1000), ZARQ_OK);  // 00:01 tick 0
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(SplitZarqTime(&a, &b, &c, 1230456), ZARQ_OK);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 30);
  EXPECT_EQ(c, 456);
  EXPECT_EQ(SplitZarqTime(&a, &b, &c, 2400000), ZARQ_E_BAD_TIME);
  EXPECT_EQ(a + b + c, 0);
  EXPECT_EQ(SplitZarqTime(nullptr, &b, &c, 0), ZARQ_E_INVALID_ARGUMENT);
}

TEST(DateRulesTest, CurrentDateTimeDropsSecondsAndMilliseconds) {
  zarq_test::ProcessDouble os;
  os.local_time = LocalDateTime{2009, 6, 1, 14, 7, 59, 999};
  zarq_test::ScopedPlatform installed(&os);
  ZarqDateTimePair now = GetCurrentDateTime();
  EXPECT_EQ(now.Date, 20090601);
  EXPECT_EQ(now.Time, 1407000);
}

}  // namespace
}  // namespace zarq
