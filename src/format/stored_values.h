// stored_values.h: record dates and record times as the floats and
// integers that data files and master files carry, converted safely.
//
// The values come from files that other programs write, so every
// conversion here is defined for every input: float to integer saturates
// instead of overflowing, and a record time far beyond any real one is
// bounded before it is decoded. For the values a valid date or time gives,
// the results are those of record_time.h.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FORMAT_STORED_VALUES_H_
#define ZARQ_SRC_FORMAT_STORED_VALUES_H_

#include <cstdint>

namespace zarq {

// Clamps a wide value into the 32-bit range.
int32_t SaturateToInt32(int64_t value);

// value truncated toward zero; 0 for a NaN, the nearest bound for a value
// outside the 32-bit range.
int32_t TruncateToInt32(float value);

// The record date of a ZARQ date, as the float a file stores.
float RecordDateAsFloat(int32_t zarq_date);
// The record time of a ZARQ time (0 stays 0), as the float a file stores.
float RecordTimeAsFloat(int32_t zarq_time);

// The ZARQ date of a stored record date: truncated, plus 19000000.
int32_t ZarqDateFromRecordFloat(float record_date);
// The ZARQ time of a stored record time given as an integer (0 stays 0).
int32_t ZarqTimeFromRecordValue(int32_t record_time);
// The ZARQ time of a stored record time float: truncated, then decoded.
int32_t ZarqTimeFromRecordFloat(float record_time);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_STORED_VALUES_H_
