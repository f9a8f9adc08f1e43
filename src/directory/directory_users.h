// directory_users.h: the registration of processes in a directory's user
// file.
//
// Every process that opens a directory holding a database registers in the
// directory user file; the first creates it (and builds the shared working
// files), the last to leave removes it. The byte-range lock on the file's
// header record serialises every change between processes. The stamp drawn
// when the file is created ties every working file to it.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DIRECTORY_DIRECTORY_USERS_H_
#define ZARQ_SRC_DIRECTORY_DIRECTORY_USERS_H_

#include <cstdint>
#include <string>

#include "src/fileio/directory_entry.h"

namespace zarq {

// A stamp no open directory of this process holds.
uint32_t NewUserFileStamp();

// Locks (waiting up to 10 s) or unlocks the user file's header record;
// -366 when the lock cannot be had.
int32_t LockUserHeader(DirectoryEntry* entry, bool lock);

// What the user file holds, as the holder of the directory's gate finds it.
enum class UserFileState {
  kUnbuilt,  // empty, or without a header yet: no first user finished its build
  kNoUsers,  // a header without users: the last user left, or died leaving
  kUsers,    // users are registered
};

// Reads the user file's size and header under the header lock: -351 for a
// header of another file (a header of zeros is one not written yet), -247
// for a version outside 200..800.
int32_t InspectUserFile(DirectoryEntry* entry, UserFileState* state);

// Starts the user file of a first user: empties it (it holds no header
// until the build is done, so that a build cut short is never taken for a
// finished one), locks its header and draws the stamp of the new working
// files into the entry. The header stays locked for the caller.
int32_t CreateUserFile(DirectoryEntry* entry);

// Ends the first user's build: writes this process's record and then the
// header with one user. The header stays locked.
int32_t RegisterFirstUser(DirectoryEntry* entry);

// Adds this process to an existing user file. *needs_init is set when the
// file turns out empty or without users and the shared files are missing:
// the caller then builds them as the first user. allow_same lets this
// process take over a record of its own identity (left by a crashed
// process) instead of failing with -365; such a record is counted as a user
// again unless the count covers every record in use already (a process
// that died between writing its record and the header left it uncounted).
int32_t RegisterUser(DirectoryEntry* entry, bool* needs_init, bool allow_same);

// Removes this process's record. When it was the last user, *was_last is
// set and the header stays locked for RemoveDirectoryFiles.
int32_t LeaveUser(DirectoryEntry* entry, bool* was_last);

// Whether this process is still registered in the directory (the user file
// is the one it registered in, by its stamp, and its user record still
// carries its instance tag): 0, or -363 when the registration is lost,
// which marks the entry lost and drops this process's security locks there
// for good; user file errors are returned as they are.
int32_t VerifyUserRecord(DirectoryEntry* entry);

// Releases this process's security locks in the directory; true when it
// held any. The locking layer installs the releaser (and a test may, when
// it puts back the one it replaces).
using DirectoryLocksReleaser = bool (*)(DirectoryEntry* entry);
DirectoryLocksReleaser SetDirectoryLocksReleaser(DirectoryLocksReleaser releaser);
bool ReleaseDirectoryLocks(DirectoryEntry* entry);

// Counts this process as a user again after it left as the last one but
// could not write the master files back: its record (left in place by
// LeaveUser) is its own again, so a later close tries anew, and a process
// that joins meanwhile is not taken for the last user.
int32_t RejoinUser(DirectoryEntry* entry, uint16_t record);

// The identity text ("application:user") of user record number record in
// the user file of open directory number directory, read under the
// header's lock: -370 for a directory not open, -366 when the lock is not
// had, -351 or -247 for a header of another file or version, -300 for a
// record beyond the file's or not in use, or a file error.
int32_t ReadUserIdentity(uint8_t directory, uint16_t record, std::string* identity);

// The text that ZARQ1_GetLastFailedOpenDirInfo reports ("application:user"
// of whoever holds the directory after a refused open).
void ClearLastFailedOpen();
void SetLastFailedOpen(const char* text);
const std::string& LastFailedOpen();

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_DIRECTORY_USERS_H_
