// stored_values.cc: safe conversions of record dates and times.
//
// Thread-safety: pure.

#include "src/format/stored_values.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "src/datetime/date_rules.h"
#include "src/datetime/record_time.h"

namespace zarq {
namespace {

// No record time exceeds 9235999 (23:59 tick 999); the bound only keeps
// the arithmetic of a damaged value in range.
constexpr int32_t kRecordTimeBound = 99999999;

}  // namespace

int32_t SaturateToInt32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t TruncateToInt32(float value) {
  if (std::isnan(value)) return 0;
  double x = std::trunc(static_cast<double>(value));
  if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

float RecordDateAsFloat(int32_t zarq_date) {
  // ZarqDateToRecord in 64 bits: the far negative dates would overflow.
  int64_t rest = std::llabs(static_cast<int64_t>(zarq_date) % 10000);
  int64_t record = (static_cast<int64_t>(zarq_date) / 10000 - 1900) * 10000 + rest;
  return static_cast<float>(record);
}

float RecordTimeAsFloat(int32_t zarq_time) {
  return static_cast<float>(ZarqTimeToRecord(zarq_time));
}

int32_t ZarqDateFromRecordFloat(float record_date) {
  return SaturateToInt32(static_cast<int64_t>(TruncateToInt32(record_date)) + kShortDateOffset);
}

int32_t ZarqTimeFromRecordValue(int32_t record_time) {
  if (record_time > kRecordTimeBound) record_time = kRecordTimeBound;
  if (record_time < -kRecordTimeBound) record_time = -kRecordTimeBound;
  return RecordTimeToZarq(record_time);
}

int32_t ZarqTimeFromRecordFloat(float record_time) {
  return ZarqTimeFromRecordValue(TruncateToInt32(record_time));
}

}  // namespace zarq
