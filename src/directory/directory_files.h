// directory_files.h: the database files of a directory as it is opened:
// whether it holds a database, and the registration of this process in it.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DIRECTORY_DIRECTORY_FILES_H_
#define ZARQ_SRC_DIRECTORY_DIRECTORY_FILES_H_

#include <cstdint>

#include "src/directory/directory_entry.h"

namespace zarq {

// Checks (and for the first user builds) the database files of an entry
// being opened: 0, 1 when the folder holds no MASTER file, or an error. All
// cached files of the directory are closed at the end.
int32_t OpenDirectoryFiles(DirectoryEntry* entry, uint32_t open_flags);

// Turns an open directory without a database into an empty database.
int32_t BuildDatabase(uint8_t number);

// Deregisters this process from the directory's user file at close
// (clearing its marks in the lock file when it held security locks).
int32_t LeaveDirectory(DirectoryEntry* entry, bool clear_lock_marks);

// Clean-up by the last user (was_last: the master files are written back
// first; without success the working files stay), or undoing a failed
// first-user build (the master files lose their read-only mark).
int32_t RemoveDirectoryFiles(DirectoryEntry* entry, bool was_last);

// Removes every database file of an emptied directory.
int32_t EraseDatabaseFiles(uint8_t number);

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_DIRECTORY_FILES_H_
