// working_files.h: what the working files of a database say while its
// peers have it open but none holds a lock (between the harness's
// rounds): the security records of the list file ~ZARQ.SEC, the
// agreement of the list, its index ~ZARQ.INX and the data files, and the
// lock file ~ZARQ.LCK's records that are not free.
//
// Thread-safety: none needed; these only read files.

#ifndef ZARQ_TESTS_HARNESS_WORKING_FILES_H_
#define ZARQ_TESTS_HARNESS_WORKING_FILES_H_

#include <string>
#include <vector>

#include "src/master/security_record.h"

namespace zarq_test {

// The records of slots 1..SlotCount of folder's list file (their slot
// fields set); false, with *problem saying why, when the file cannot be
// read as one.
bool ReadSecurityList(const std::string& folder, std::vector<zarq::SecurityRecord>* records,
                      std::string* problem);

// One line per disagreement of the list, the index and the data files:
// the chain from FirstSlot must visit every live record once (PrevSlot
// matching, ending at LastSlot), LiveCount of them; no file number may
// serve two live securities; the index must hold one entry per live
// security, in order, each naming a live record of its identity; every
// data file must belong to a live security, and every live plain security
// have one. Empty when all agree.
std::vector<std::string> ListProblems(const std::string& folder);

// One line per lock record of folder's lock file that is not free (a
// level or a holder), or one line saying why the file cannot be read;
// empty when every record is free.
std::vector<std::string> HeldLockRecords(const std::string& folder);

}  // namespace zarq_test

#endif  // ZARQ_TESTS_HARNESS_WORKING_FILES_H_
