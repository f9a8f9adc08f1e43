// master_write_back.h: writing the security list back into the master
// files, as the last user of a directory does.
//
// The list is walked in list order: the first 255 live securities go to
// MASTER and EMASTER, the rest to XMASTER. Positions 1..255 must use data
// file numbers 1..255 and later positions 256..6000; where a position and
// its number no longer fit, the data file (and its field-list file) moves
// to a free number and every composite that uses it follows, under a
// journal (renumber_journal.h). Each master file is written whole under a
// temporary name and then replaces the old one in one step, so that the
// folder never lacks a master file and never holds a half-written one;
// XMASTER only while the list is longer than 255 (the caller removes it
// otherwise).
//
// Thread-safety: callers hold the library lock and the directory's gate.

#ifndef ZARQ_SRC_MASTER_MASTER_WRITE_BACK_H_
#define ZARQ_SRC_MASTER_MASTER_WRITE_BACK_H_

#include <cstdint>

#include "src/fileio/directory_entry.h"

namespace zarq {

// Writes MASTER, EMASTER and XMASTER from the security list file; *count is
// the number of securities written. On a failure the security list file
// still describes every security (with the numbers of any data file moved).
int32_t WriteBackMasterFiles(DirectoryEntry* entry, uint32_t* count);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_WRITE_BACK_H_
