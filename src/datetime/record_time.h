// record_time.h: the record date and record time, the forms in which data
// files and master files keep dates and times (as floats, which hold these
// values exactly).
//
// Record date = ZARQ date - 19000000 (negative before 1900). Record time
// keeps the hundreds digit of the ticks in the millions place above an
// hhmmss-shaped value whose last two digits are the ticks modulo 100:
// 12:30 tick 456 is 4123056; 0 stays 0.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_DATETIME_RECORD_TIME_H_
#define ZARQ_SRC_DATETIME_RECORD_TIME_H_

#include <cstdint>

namespace zarq {

inline int32_t ZarqDateToRecord(int32_t date) {
  int32_t rest = date % 10000;
  return (date / 10000 - 1900) * 10000 + (rest < 0 ? -rest : rest);
}

inline int32_t RecordDateToZarq(int32_t record_date) { return record_date + 19000000; }

inline int32_t ZarqTimeToRecord(int32_t time) {
  if (time == 0) return 0;
  int32_t ticks = time % 1000;
  return ((time / 1000) + (ticks / 100) * 10000) * 100 + ticks % 100;
}

inline int32_t RecordTimeToZarq(int32_t record_time) {
  if (record_time == 0) return 0;
  int32_t scaled = (record_time / 100) * 1000;
  return scaled % 10000000 + (scaled / 10000000) * 100 + record_time % 100;
}

}  // namespace zarq

#endif  // ZARQ_SRC_DATETIME_RECORD_TIME_H_
