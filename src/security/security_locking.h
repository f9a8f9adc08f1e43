// security_locking.h: locking and unlocking securities across processes.
//
// A lock is taken in two places: the process's LockTable (lock_table.h),
// whose slot becomes the working copy of the security, and the directory's
// lock file, one 37-byte record per security slot holding the level in
// force and the set of users (user records of the directory's user file)
// holding it, changed only under a byte-range lock on that record. ReadLock
// (16) is shared; WriteLock (32), DefinitionLock (127) and FullLock (128)
// are granted only on a free record. A process never holds two lock-file
// byte ranges at once; while it holds a record's range it may take the
// security list file's locks and the user file's header lock (to check
// that its registration is still its own). The other way round only a
// list change does it, in the two ways that cannot close a cycle
// (security_changes.h): a record taken without waiting, or the record of a
// security it holds itself at DefinitionLock or FullLock, which anyone
// else lets go of at once, refused, without reaching for the list.
//
// A composite holds its components: each is held implicitly (kSlotImplicit,
// counted by the slot's nesting) at ReadLock, sharing the slot of an
// explicit lock of the same security.
//
// No unlock writes over another holder's data: before the working copy
// goes back, the unlock checks under the record's byte-range lock that this
// process is still registered as itself and still holds the record.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_SECURITY_LOCKING_H_
#define ZARQ_SRC_SECURITY_SECURITY_LOCKING_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/security/lock_table.h"

namespace zarq {

// Who held a security whose lock was refused for a conflict.
struct FailedLock {
  uint8_t directory = 0;
  uint8_t level = 0;
  uint16_t holder = 0;  // the holder's user record when exactly one holds it
  uint16_t holders = 0;
};

// The handle's form checked: bits 16..22 clear and its directory open:
// 0, -167 for stray bits, -370 for a directory that is not open.
int32_t CheckSecurityHandle(uint32_t handle);

// ZARQ1_LockSecurity: 0; -324 for a level other than 16, 32, 127, 128;
// -361 above ReadLock in a read-only directory; -322 with every slot
// taken; -321 on a conflict (or a security locked here already; details
// in LastFailedLock); -191 for a slot beyond the lock file or a deleted
// security; -167 for a handle whose composite flag is not its record's;
// for a composite -324 at WriteLock and the refusals of
// LockCompositeSecurity (composite_locking.h); -363; file errors. A refused
// lock leaves the lock table and the lock file as they were.
int32_t LockSecurity(uint32_t handle, uint32_t level);

// ZARQ1_UnlockSecurity: 0; -320 for a security this caller did not lock;
// -363 when this process no longer holds it as itself (nothing is
// written). A failed write-back keeps the lock, so that a retry can land it.
// A composite's own lock goes first, then its holds on its components and
// its read state; a component held only through a composite is -320.
int32_t UnlockSecurity(uint32_t handle);

// Writes the working copy of a security held here at WriteLock or more to
// the files now (as its unlock would, under the same checks), keeping the
// lock: a rebuild that replaced the data file makes the list record agree
// with it before anything else can go wrong. 0 at a weaker level.
int32_t StoreLockedSecurity(uint32_t handle);

// The steps the locking layer's files share (src/security only).
//
// The cross-process step of a lock into slot (cleared first): the lock
// record decides, the working copy is loaded, then the record is written
// with this user's bit. A failure leaves the slot empty and the record as
// it was.
int32_t LockSecurityRecord(uint32_t handle, LockSlot* slot, uint8_t level);
// Ends one hold of slot: with more holds only the nesting drops; else the
// working copy is written back (a write lock's, or a composite's) and this
// user's bit leaves the lock record, which frees the slot.
int32_t UnlockSecurityRecord(uint32_t handle, LockSlot* slot);
// Holds a component of a composite locked or created here, at level:
// joins a slot held here at ReadLock or less (kSlotImplicit, nesting + 1),
// else locks it into a free slot as an implicit hold. -321 when held here
// at WriteLock or FullLock, -324 at DefinitionLock, -322, or the lock's
// failure.
int32_t LockComponent(uint32_t handle, uint8_t level);
// Ends one implicit hold of a component (see LockComponent).
int32_t UnlockComponent(uint32_t handle);

// Unlocks every slot of the entry's directory (dropping them without
// touching any file when the directory's registration is lost); true when
// a slot had to be dropped with its lock-file mark possibly left behind.
// Installed as the directory layer's ReleaseDirectoryLocks.
bool UnlockDirectorySlots(DirectoryEntry* entry);

const FailedLock& LastFailedLock();

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_SECURITY_LOCKING_H_
