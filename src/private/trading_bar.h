// trading_bar.h: intraday bars of n minutes within a security's trading
// window, the arithmetic behind ordinal 214 and the converting reads.
//
// Times are handled as minutes after midnight. A trading window runs from
// its start to its end minute; an end not later than the start lies on the
// next day (end + 1440), and a moment before the start of such a window
// belongs to the session that began the day before: its minute is counted
// from that day (minute + 1440), so bars land on the session's date.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_PRIVATE_TRADING_BAR_H_
#define ZARQ_SRC_PRIVATE_TRADING_BAR_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

struct TradingWindow {
  int32_t start = 0;  // minutes after midnight of the session's date
  int32_t end = 0;    // start < end <= start + 1440
};

inline int32_t MinuteOfDay(int32_t time) { return time / 100000 * 60 + time % 100000 / 1000; }

// The window of two valid ZARQ times.
TradingWindow MakeTradingWindow(int32_t start_time, int32_t end_time);

// A moment placed in its session: the session's date and the moment's
// minute counted from that date's midnight.
struct SessionMinute {
  int32_t date = 0;
  int32_t minute = 0;
};
SessionMinute PlaceInSession(const TradingWindow& window, int32_t date, int32_t time);

// The moment minute minutes after midnight of date (minute may pass 1439).
ZarqDateTimePair MomentAt(int32_t date, int32_t minute);

// Ordinal 214: the bar of length minutes holding *moment: its start, its
// reference (the start, or the window end for a moment outside the
// window) and its end, never past the window end, and with hour_aligned
// counted from the full hour and never past the next one. -124 for a
// length of 0 or a null pointer; -174 / -175 for an invalid time or date.
int32_t GetTradingBar(int32_t start, int32_t end, uint32_t length, const ZarqDateTimePair* moment,
                      ZarqDateTimePair* bar_start, ZarqDateTimePair* bar_ref,
                      ZarqDateTimePair* bar_end, bool hour_aligned);

}  // namespace zarq

#endif  // ZARQ_SRC_PRIVATE_TRADING_BAR_H_
