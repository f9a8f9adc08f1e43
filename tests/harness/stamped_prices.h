// stamped_prices.h: the price records of the data stress, which let any
// reader tell a committed state of a security from a half-applied change.
// Every change a writer commits rewrites all records of the security as
// one version: record k of n lies on a day (strictly ascending), its Open,
// High and Low are that day's number, its Close and OpenInterest the
// version, its Volume n. A reader holding the security (or the harness,
// reading the data file between rounds) checks that all records agree.
// Shared by the harness and the peer (header only).
//
// Thread-safety: pure.

#ifndef ZARQ_TESTS_HARNESS_STAMPED_PRICES_H_
#define ZARQ_TESTS_HARNESS_STAMPED_PRICES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "tests/data/price_series.h"

namespace zarq_test {

inline int32_t DayDate(uint32_t day) { return SeriesRecord(day).Date; }

inline std::vector<ZarqPriceRecord> StampedRecords(const std::vector<uint32_t>& days,
                                                   uint32_t version) {
  std::vector<ZarqPriceRecord> records;
  for (uint32_t day : days) {
    ZarqPriceRecord r = {};
    r.Date = DayDate(day);
    r.Open = r.High = r.Low = static_cast<float>(day);
    r.Close = r.OpenInterest = static_cast<float>(version);
    r.Volume = static_cast<float>(days.size());
    r.FieldMask = 0x7F;
    records.push_back(r);
  }
  return records;
}

// The days of records, which must be strictly ascending and each carry
// its day's date; "" or what is wrong.
inline std::string DaysOf(const ZarqPriceRecord* records, size_t n, std::vector<uint32_t>* days) {
  days->clear();
  for (size_t k = 0; k < n; ++k) {
    const uint32_t day = static_cast<uint32_t>(records[k].Open);
    if (records[k].Open != static_cast<float>(day) || records[k].Date != DayDate(day) ||
        (k > 0 && day <= days->back())) {
      return "record " + std::to_string(k + 1) + " of " + std::to_string(n) + " (date " +
             std::to_string(records[k].Date) + ") is out of order or not of its day";
    }
    days->push_back(day);
  }
  return "";
}

// Checks that records are one committed version: at least one record, the
// days as DaysOf wants them, each record stamped with the same version and
// the count. "" or what is wrong.
inline std::string CheckStamped(const ZarqPriceRecord* records, size_t n, uint32_t* version,
                                std::vector<uint32_t>* days) {
  if (n == 0) return "no records";
  std::string problem = DaysOf(records, n, days);
  if (!problem.empty()) return problem;
  *version = static_cast<uint32_t>(records[0].Close);
  for (size_t k = 0; k < n; ++k) {
    const ZarqPriceRecord& r = records[k];
    if (r.Close != static_cast<float>(*version) || r.OpenInterest != r.Close || r.High != r.Open ||
        r.Low != r.Open || r.Volume != static_cast<float>(n)) {
      return "record " + std::to_string(k + 1) + " of " + std::to_string(n) + " carries version " +
             std::to_string(r.Close) + " and count " + std::to_string(r.Volume) +
             ", record 1 version " + std::to_string(*version);
    }
  }
  return "";
}

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_STAMPED_PRICES_H_
