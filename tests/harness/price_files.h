// price_files.h: data files that a lock can load: a header record holding
// the record count, then price records from the security's first moment
// to its last (so that loading them leaves the security's dates as they
// are), with prices drawn from its file number so that no two files are
// alike. The harness's sample database and the benchmarks write them.
//
// Thread-safety: pure.

#ifndef ZARQ_TESTS_HARNESS_PRICE_FILES_H_
#define ZARQ_TESTS_HARNESS_PRICE_FILES_H_

#include <string>

#include "src/master/security_record.h"

namespace zarq_test {

// The bytes of the data file of security (a plain one) with records price
// records (at least 2).
std::string PriceFileBytes(const zarq::SecurityRecord& security, int records);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_PRICE_FILES_H_
