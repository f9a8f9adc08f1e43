// sample_database.h: the database the harness runs against: 300
// securities, the first 255 in MASTER and EMASTER and the rest in XMASTER,
// with varied periods, names and extra values, a few composites of earlier
// securities, and a data file of a few price records, unlike any other,
// for every plain security (price_files.h): locking one loads it and
// leaves the security's dates as they are.
//
// Thread-safety: pure, except WriteSampleDatabase, which writes files.

#ifndef ZARQ_TESTS_HARNESS_SAMPLE_DATABASE_H_
#define ZARQ_TESTS_HARNESS_SAMPLE_DATABASE_H_

#include <map>
#include <string>
#include <vector>

#include "src/master/security_record.h"
#include "tests/support/temp_folder.h"

namespace zarq_test {

inline constexpr uint32_t kSampleSecurities = 300;

struct SampleDatabase {
  std::vector<zarq::SecurityRecord> records;      // in list order
  std::map<std::string, std::string> data_files;  // name -> bytes
  // Every name the folder holds: the master files and the data files.
  std::vector<std::string> FileNames() const;
};

SampleDatabase MakeSampleDatabase();

// Writes the master files and data files into folder.
void WriteSampleDatabase(const SampleDatabase& sample, const TempFolder& folder);

// The data file name of a file number: F<n>.DAT below 256, else F<n>.MWD.
std::string DataFileName(uint32_t file_number);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_SAMPLE_DATABASE_H_
