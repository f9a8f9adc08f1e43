// trading_bar.cc: trading window arithmetic.
//
// Thread-safety: pure.

#include "src/private/trading_bar.h"

#include <algorithm>

#include "src/datetime/calendar.h"
#include "src/datetime/date_rules.h"

namespace zarq {

TradingWindow MakeTradingWindow(int32_t start_time, int32_t end_time) {
  TradingWindow window{MinuteOfDay(start_time), MinuteOfDay(end_time)};
  if (window.end <= window.start) window.end += 1440;
  return window;
}

SessionMinute PlaceInSession(const TradingWindow& window, int32_t date, int32_t time) {
  SessionMinute placed{date, MinuteOfDay(time)};
  if (window.end > 1440 && placed.minute < window.start) {
    int32_t unused = 0;
    AddToDateTime(&placed.date, &unused, date, 0, -1, 0, 0);
    placed.minute += 1440;
  }
  return placed;
}

ZarqDateTimePair MomentAt(int32_t date, int32_t minute) {
  ZarqDateTimePair moment{date, 0};
  AddToDateTime(&moment.Date, &moment.Time, date, 0, 0, 0, minute);
  return moment;
}

int32_t GetTradingBar(int32_t start, int32_t end, uint32_t length, const ZarqDateTimePair* moment,
                      ZarqDateTimePair* bar_start, ZarqDateTimePair* bar_ref,
                      ZarqDateTimePair* bar_end, bool hour_aligned) {
  if (length == 0 || moment == nullptr || bar_start == nullptr || bar_ref == nullptr ||
      bar_end == nullptr) {
    return ZARQ_E_INVALID_ARGUMENT;
  }
  for (int32_t time : {start, end, moment->Time}) {
    if (ValidateTime(time, true) != ZARQ_OK) return ZARQ_E_BAD_TIME;
  }
  if (ValidateDate(moment->Date, true) != ZARQ_OK) return ZARQ_E_BAD_DATE;
  const TradingWindow window = MakeTradingWindow(start, end);
  const SessionMinute at = PlaceInSession(window, moment->Date, moment->Time);
  const int32_t n = static_cast<int32_t>(std::min<uint32_t>(length, 2880));
  const bool inside = at.minute >= window.start && at.minute < window.end;
  // Outside the window the bar is the one at the window's end.
  const int32_t point = inside ? at.minute : window.end;
  const int32_t origin = hour_aligned ? point / 60 * 60 : window.start;
  const int32_t first = origin + (point - origin) / n * n;
  int32_t last = inside ? std::min(first + n, window.end) : window.end + n;
  if (hour_aligned) last = std::min(last, origin + 60);
  *bar_start = MomentAt(at.date, first);
  *bar_ref = MomentAt(at.date, inside ? first : window.end);
  *bar_end = MomentAt(at.date, last);
  return ZARQ_OK;
}

}  // namespace zarq
