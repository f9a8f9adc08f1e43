// directory_files.h: the database files of a directory as it is opened and
// closed: whether it holds a database, the first user's build of the
// working files, a later user's registration and checks, and the last
// user's write-back and removal of the working files. All of it happens
// under the directory's gate (directory_gate.h).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DIRECTORY_DIRECTORY_FILES_H_
#define ZARQ_SRC_DIRECTORY_DIRECTORY_FILES_H_

#include <cstdint>

#include "src/fileio/directory_entry.h"

namespace zarq {

// Checks (and for the first user builds) the database files of an entry
// being opened: 0, 1 when the folder holds no MASTER file, or an error. All
// cached files of the directory are closed at the end.
int32_t OpenDirectoryFiles(DirectoryEntry* entry, uint32_t open_flags);

// Merges the price data of a security listed twice at the first user's
// build (open flag 0x08) into its first copy and retires the later copy
// (directory_files.cc calls it once the working files are complete). The
// price data layer installs it; without one a duplicate fails the build.
using DuplicateMerger = int32_t (*)(uint8_t directory, uint32_t survivor_slot,
                                    uint32_t retired_slot);
DuplicateMerger SetDuplicateMerger(DuplicateMerger merger);

// Turns an open directory without a database into an empty database.
int32_t BuildDatabase(uint8_t number);

// Deregisters this process from the directory's user file at close
// (clearing its marks in the lock file when it held security locks); the
// last user writes the master files back and removes the working files.
// A registration found lost is nothing to leave: 0.
int32_t LeaveDirectory(DirectoryEntry* entry, bool clear_lock_marks);

// LeaveDirectory for a holder of the directory's gate.
int32_t LeaveUnderGate(DirectoryEntry* entry, bool clear_lock_marks);

// Clean-up by the last user (was_last: the master files are written back
// first; without success the working files stay), or undoing a failed
// first-user build (the master files lose their read-only mark). Expects
// the gate held.
int32_t RemoveDirectoryFiles(DirectoryEntry* entry, bool was_last);

// Removes every database file of an emptied directory: the master files,
// the files named by a data file number (F<n>.DAT, .MWD, .DOP), the
// library's temporary files and the ZQSmart sub-folder's numbered files.
// Nothing else: a "Forecast.dat" beside them stays.
int32_t EraseDatabaseFiles(uint8_t number);

// Finishes or removes what a process that died in the directory's
// lifecycle left (an unfinished renumbering, temporary master files,
// scratch files). Expects the gate held and no live user registered.
int32_t ClearLeftovers(DirectoryEntry* entry);

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_DIRECTORY_FILES_H_
