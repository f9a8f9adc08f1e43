// master_write_back.h: writing the security list back into the master
// files, as the last user of a directory does.
//
// The list is walked in list order: the first 255 live securities go to
// MASTER and EMASTER, the rest to XMASTER. Positions 1..255 must use data
// file numbers 1..255 and later positions 256..6000; where a position and
// its number no longer fit, the data file (and its field-list file) is
// renamed to a free number and every composite that uses it follows. New
// master files are written as temporary files first and then replace the
// old ones, one by one.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_MASTER_WRITE_BACK_H_
#define ZARQ_SRC_MASTER_MASTER_WRITE_BACK_H_

#include <cstdint>

#include "src/directory/directory_entry.h"

namespace zarq {

// Writes MASTER, EMASTER and XMASTER from the security list file; *count is
// the number of securities written.
int32_t WriteBackMasterFiles(DirectoryEntry* entry, uint32_t* count);

// Replaces the master file of kind by its temporary file. The old file is
// set aside first and put back if the temporary one cannot take its name.
int32_t ReplaceWithTemporary(DirectoryEntry* entry, uint16_t kind);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_WRITE_BACK_H_
