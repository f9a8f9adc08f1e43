// master_import.h: turning the master files into the security list, as the
// first user of a directory does.
//
// MASTER and EMASTER describe the first 255 securities, XMASTER the rest.
// While the working files exist, MASTER and EMASTER are read-only on disk
// so that other programs leave them alone.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_MASTER_IMPORT_H_
#define ZARQ_SRC_MASTER_MASTER_IMPORT_H_

#include <cstdint>

#include "src/fileio/directory_entry.h"
#include "src/master/security_list.h"

namespace zarq {

// Loads and repairs MASTER and EMASTER and decodes the EMASTER entries into
// list (slots 1..n). 0; ZARQ_OPENED_NO_DATABASE without a MASTER file; or
// an error (the master files then get their normal attributes back). Marks
// the entry as holding a database.
int32_t ImportMasterFiles(DirectoryEntry* entry, SecurityList* list);

// Appends the securities of XMASTER (if any) to list.
int32_t AppendXmaster(DirectoryEntry* entry, SecurityList* list);

// Gives MASTER and EMASTER their normal attributes again (no longer
// read-only on disk).
void ReleaseMasterFiles(DirectoryEntry* entry);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_MASTER_IMPORT_H_
