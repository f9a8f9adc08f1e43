// directory_files.cc: the database files of a directory being opened or
// closed.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/directory_files.h"

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"

namespace zarq {

int32_t OpenDirectoryFiles(DirectoryEntry* entry, uint32_t open_flags) {
  (void)open_flags;
  std::string master;
  int32_t status = BuildDirFileName(entry->number, &master, kKindMaster);
  if (status == ZARQ_OK) {
    // Without a MASTER file the folder holds no database yet. Registering
    // in a folder that holds one is not built here yet: such a folder is
    // refused rather than reported open without its database.
    status = IsExistingFile(master) ? ZARQ_E_NOT_REGISTERED : ZARQ_OPENED_NO_DATABASE;
  }
  FileCloseMatching(entry->number, 0, kCloseDirectory);
  return status;
}

int32_t LeaveDirectory(DirectoryEntry* entry, bool clear_lock_marks) {
  (void)clear_lock_marks;
  if (!entry->Has(kDirHoldsDatabase) || entry->Has(kDirRegistrationLost)) return ZARQ_OK;
  return ZARQ_OK;
}

}  // namespace zarq
