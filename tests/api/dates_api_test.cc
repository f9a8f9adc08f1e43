// The exported date and time functions, before and after initialisation.

#include <gtest/gtest.h>

#include "zarq.h"

namespace {

TEST(DatesApiTest, WorkWithoutInitialization) {
  ASSERT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  uint32_t date = 1;
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 2, 29, 2000), ZARQ_OK);
  EXPECT_EQ(date, 20000229u);
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 2, 29, 1900), ZARQ_E_BAD_DATE);
  EXPECT_EQ(date, 0u);
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 12, 31, 2200), ZARQ_OK);
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 1, 1, 2201), ZARQ_E_BAD_DATE);
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 5, 5, 1500), ZARQ_E_BAD_DATE);

  uint32_t time = 1;
  EXPECT_EQ(ZARQ1_MakeZARQTime(&time, 23, 59, 999), ZARQ_OK);
  EXPECT_EQ(time, 2359999u);
  EXPECT_EQ(ZARQ1_MakeZARQTime(&time, 24, 0, 0), ZARQ_E_BAD_TIME);
  EXPECT_EQ(time, 0u);

  uint16_t d = 7, m = 7, y = 7;
  EXPECT_EQ(ZARQ1_GetDayMonthYear(&d, &m, &y, 20090601), ZARQ_OK);
  EXPECT_EQ(d, 1);
  EXPECT_EQ(m, 6);
  EXPECT_EQ(y, 2009);
  EXPECT_EQ(ZARQ1_GetDayMonthYear(&d, &m, &y, 17991231), ZARQ_E_BAD_DATE);
  EXPECT_EQ(d + m + y, 0);

  uint16_t h = 7, mi = 7, t = 7;
  EXPECT_EQ(ZARQ1_GetHourMinTicks(&h, &mi, &t, 1230456), ZARQ_OK);
  EXPECT_EQ(h, 12);
  EXPECT_EQ(mi, 30);
  EXPECT_EQ(t, 456);
  EXPECT_EQ(ZARQ1_GetHourMinTicks(&h, &mi, &t, 1260000), ZARQ_E_BAD_TIME);
  EXPECT_EQ(h + mi + t, 0);
}

TEST(DatesApiTest, NullOutputsAreRefused) {
  uint16_t a = 0, b = 0;
  EXPECT_EQ(ZARQ1_MakeZARQDate(nullptr, 1, 1, 2000), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_MakeZARQTime(nullptr, 1, 1, 1), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_GetDayMonthYear(&a, &b, nullptr, 20000101), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_GetHourMinTicks(nullptr, &a, &b, 0), ZARQ_E_INVALID_ARGUMENT);
}

TEST(DatesApiTest, SameResultsWhenInitialized) {
  ASSERT_EQ(ZARQ1_Initialize("Dates", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  uint32_t date = 0;
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 6, 1, 2009), ZARQ_OK);
  EXPECT_EQ(date, 20090601u);
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
}

}  // namespace
