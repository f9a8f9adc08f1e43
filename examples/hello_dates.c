/* hello_dates.c: initialises zarq, builds and splits a few dates and times,
 * and shuts the library down. Uses the public C interface only. */
#include <stdio.h>

#include "zarq.h"

static void show_date(uint16_t month, uint16_t day, uint16_t year) {
  uint32_t date = 0;
  int32_t status = ZARQ1_MakeZARQDate(&date, month, day, year);
  if (status != ZARQ_OK) {
    printf("  %2u/%2u/%-4u -> invalid (status %d)\n", month, day, year, (int)status);
    return;
  }
  uint16_t d = 0, m = 0, y = 0;
  ZARQ1_GetDayMonthYear(&d, &m, &y, (int32_t)date);
  printf("  %2u/%2u/%-4u -> ZARQ date %u (day %u, month %u, year %u)\n", month, day, year, date, d,
         m, y);
}

int main(void) {
  int32_t status = ZARQ1_Initialize("hello_dates", "example", ZARQ_INTERFACE_VERSION);
  printf("ZARQ1_Initialize: %d, state %d\n", (int)status, (int)ZARQ1_GetZARQState());
  if (status != ZARQ_OK) return 1;

  printf("Dates:\n");
  show_date(6, 1, 2009);
  show_date(2, 29, 2000);
  show_date(2, 29, 1900);
  show_date(12, 31, 99);
  show_date(1, 1, 29);

  uint32_t time = 0;
  ZARQ1_MakeZARQTime(&time, 12, 30, 456);
  uint16_t h = 0, mi = 0, t = 0;
  ZARQ1_GetHourMinTicks(&h, &mi, &t, (int32_t)time);
  printf("Time 12:30 tick 456 -> ZARQ time %u (hour %u, minute %u, ticks %u)\n", time, h, mi, t);

  status = ZARQ1_Shutdown();
  printf("ZARQ1_Shutdown: %d, state %d\n", (int)status, (int)ZARQ1_GetZARQState());
  return status == ZARQ_OK ? 0 : 1;
}
