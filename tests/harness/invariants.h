// invariants.h: what must hold of the sample database's folder whenever no
// process has it open, whatever the processes did or suffered before:
//   (a) the master files list exactly the sample's securities, in order,
//       MASTER and EMASTER agreeing, and are writable again;
//   (b) every data file holds its header and counted records unchanged
//       (bytes beyond them, as an interrupted change leaves, are no data)
//       and no other data file exists;
//   (c) no working or temporary file remains, and nothing new.
//
// Thread-safety: none needed; these only read files.

#ifndef ZARQ_TESTS_HARNESS_INVARIANTS_H_
#define ZARQ_TESTS_HARNESS_INVARIANTS_H_

#include <string>
#include <vector>

#include "tests/harness/sample_database.h"

namespace zarq_test {

// One line per violation, starting "(a)", "(b)" or "(c)"; empty when all
// hold.
std::vector<std::string> CheckInvariants(const std::string& folder, const SampleDatabase& sample);

// The database a closed folder holds, as a sample: the securities of its
// master files and its data files cut to their counted records. A folder
// that a change left consistent is the sample of that change's outcome.
SampleDatabase SnapshotOf(const std::string& folder);

// The fields in which a security record, as a master file or the list
// file gives it back, differs from the one expected ("name: is not was").
std::vector<std::string> RecordDifferences(const zarq::SecurityRecord& actual,
                                           const zarq::SecurityRecord& expected);

// The folder for a report: every name with its size, except data files
// that are unchanged, which are only counted.
std::string DescribeDatabaseFolder(const std::string& folder, const SampleDatabase& sample);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_INVARIANTS_H_
