// directory_gate.h: the gate of a directory's lifecycle.
//
// Every process of this library that opens or closes a directory holding
// a database passes one exclusive lock first, the gate: a byte-range lock
// on one byte of the directory's user file ("~ZARQ.USR"), far beyond its
// records. Under the gate, and only there, a process decides whether it is
// the first user and builds the working files from the master files,
// registers as a later user and checks the working files, leaves the user
// file, and as the last user writes the master files back and removes the
// working files. So no process ever sees a half-built or half-removed
// directory, and whoever holds the gate while the directory has no live
// user may finish or undo what a crashed process left.
//
// The user file is created and deleted while others wait on it: the gate
// is verified once granted (VerifiedFileLock) and the file is created
// exclusively, so one process makes it, and an empty user file means that
// no build has finished. The gate is additive: programs that know only the
// byte-range protocol (the user file's header lock, the security list's
// header lock, the lock file's records) keep working beside it, as the
// gate holder takes those locks as they do.
//
// Lock order: the gate first; then the lock file's header or one of its
// records (one at a time); then the user file's header; then the security
// list file's header, then one of its records. A security's lock holds its
// lock-file record while it checks the registration and loads or writes
// the working copy; nothing that holds a later lock takes an earlier one,
// but for the list changes' exceptions that cannot close a cycle
// (doc/directory-lifecycle.md).
// A process holds the gate of one directory at a time, and only inside
// one library call.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_DIRECTORY_DIRECTORY_GATE_H_
#define ZARQ_SRC_DIRECTORY_DIRECTORY_GATE_H_

#include <cstdint>

#include "src/fileio/directory_entry.h"
#include "src/fileio/verified_file_lock.h"

namespace zarq {

// The byte of the user file that is the gate, and how long a process
// waits for it.
inline constexpr uint32_t kGateOffset = 0x40000000;
inline constexpr uint32_t kGateWaitMs = 10000;

class DirectoryGate {
 public:
  enum class Purpose {
    kOpen,   // a missing user file is created to hold the gate
    kClose,  // the user file must exist: -296 otherwise
  };

  DirectoryGate() = default;
  ~DirectoryGate() { Release(); }
  DirectoryGate(const DirectoryGate&) = delete;
  DirectoryGate& operator=(const DirectoryGate&) = delete;

  // Takes the gate of the entry's directory: 0; -366 when it is not had
  // within kGateWaitMs; -360 when a directory that cannot be written finds
  // no free id for its working files; or a file error. The working files
  // of such a directory are this process's own, so its user file is always
  // made anew, under an id no other process holds.
  int32_t Acquire(DirectoryEntry* entry, Purpose purpose);

  void Release() { lock_.Release(); }

  // Whether this process made the user file (empty) to take the gate.
  bool created_user_file() const { return created_; }

 private:
  VerifiedFileLock lock_;
  bool created_ = false;
};

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_DIRECTORY_GATE_H_
