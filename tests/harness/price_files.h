// price_files.h: data files that a lock can load: a header record holding
// the record count, then price records from the security's first moment
// to its last (so that loading them leaves the security's dates as they
// are), with prices drawn from its file number so that no two files are
// alike. The harness's sample database and the benchmarks write them;
// the harness reads them back.
//
// Thread-safety: pure.

#ifndef ZARQ_TESTS_HARNESS_PRICE_FILES_H_
#define ZARQ_TESTS_HARNESS_PRICE_FILES_H_

#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/master/security_record.h"

namespace zarq_test {

// The bytes of the data file of security (a plain one) with records price
// records (at least 2).
std::string PriceFileBytes(const zarq::SecurityRecord& security, int records);

// The bytes of a data file of security holding records (stored with the
// security's field mask).
std::string PriceFileOf(const zarq::SecurityRecord& security,
                        const std::vector<ZarqPriceRecord>& records);

// The counted records of bytes, a data file of security; "" or why they
// cannot be had (the file ends before them).
std::string ReadPriceFile(const zarq::SecurityRecord& security, const std::string& bytes,
                          std::vector<ZarqPriceRecord>* records);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_PRICE_FILES_H_
