// price_series.h: the price records the data tests, the peer and the
// benchmarks write: record i of a series lies strictly after record i - 1
// (every i up to 65500 gives a valid date, 28 days a month, 12 months a
// year from 2000 on, and a valid time with ticks), and its prices, drawn
// from i and a seed, are exact in the stored format. AsRead gives what a
// security of a field mask reads back.

#ifndef ZARQ_TESTS_DATA_PRICE_SERIES_H_
#define ZARQ_TESTS_DATA_PRICE_SERIES_H_

#include <cstdint>
#include <vector>

#include "include/zarq.h"

namespace zarq_test {

inline ZarqPriceRecord SeriesRecord(uint32_t i, uint32_t seed = 0) {
  ZarqPriceRecord record = {};
  record.Date =
      static_cast<int32_t>((2000 + i / 336) * 10000 + (1 + i % 336 / 28) * 100 + 1 + i % 28);
  record.Time = static_cast<int32_t>((i % 24) * 100000 + (i * 7 % 60) * 1000 + i % 1000);
  const float base = 10.0f + static_cast<float>(i % 4096) * 0.25f + static_cast<float>(seed);
  record.Open = base;
  record.High = base + 2.0f;
  record.Low = base - 1.5f;
  record.Close = base + 0.5f;
  record.Volume = static_cast<float>(1000 + i);
  record.OpenInterest = static_cast<float>(seed * 100 + i % 100);
  record.FieldMask = 0x7F;  // ignored by writes
  return record;
}

// Records first..first + n - 1 of a series.
inline std::vector<ZarqPriceRecord> Series(uint32_t first, uint32_t n, uint32_t seed = 0) {
  std::vector<ZarqPriceRecord> records;
  records.reserve(n);
  for (uint32_t i = first; i < first + n; ++i) records.push_back(SeriesRecord(i, seed));
  return records;
}

// record as a security of mask (a canonical one) reads it back.
inline ZarqPriceRecord AsRead(ZarqPriceRecord record, uint16_t mask) {
  record.FieldMask = mask;
  record.Reserved = 0;
  if (!(mask & 0x80)) record.Time = 0;
  if (!(mask & 0x20)) record.Open = 0.0f;
  if (!(mask & 0x08)) record.High = 0.0f;
  if (!(mask & 0x10)) record.Low = 0.0f;
  if (!(mask & 0x40)) record.OpenInterest = 0.0f;
  return record;
}

}  // namespace zarq_test

#endif  // ZARQ_TESTS_DATA_PRICE_SERIES_H_
