// composite_locking.h: locking a composite security together with its two
// components, the common range of the components that the composite's
// lock slot carries, and the two queries about locks.
//
// A composite locked at ReadLock or FullLock holds its own lock record and,
// implicitly and always at ReadLock, both components (kSlotImplicit, one
// nesting each), and it has a read state of the price data layer: at most
// eight per process. DefinitionLock locks the composite alone. A composite
// is never locked for writing. Whatever a refused lock took is given back:
// no slot, no holder bit and no read state remain.
//
// The price data layer, above this one, answers what composite locking
// needs of the data: it installs its component search and its read states
// here when the library starts.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_COMPOSITE_LOCKING_H_
#define ZARQ_SRC_SECURITY_COMPOSITE_LOCKING_H_

#include <cstdint>

#include "src/security/lock_table.h"

namespace zarq {

struct CompositeDataHooks {
  // FindRecord of a security locked here, the cursor unmoved.
  int32_t (*find)(uint32_t handle, int32_t* date, int32_t* time, uint16_t* recno, uint32_t mode);
  // Whether a read state is free for one more composite.
  bool (*state_free)();
  // Opens the read state of a composite whose slot holds its components and
  // range: 0, or -322 when none is free.
  int32_t (*open_state)(uint32_t handle);
  // Gives the composite's read state back (nothing when it has none).
  void (*close_state)(uint32_t handle);
};

// Installs hooks and returns those they replace (for a test to put back).
CompositeDataHooks SetCompositeDataHooks(const CompositeDataHooks& hooks);

// The lock of a composite into slot (free, cleared): -324 at WriteLock;
// -322 when no read state (or no slot for a component) is free, checked
// before any lock record is taken; -321 when this process holds a
// component at WriteLock or FullLock, or others hold it so; the failures of
// LockSecurityRecord. The slot is then explicitly held.
int32_t LockCompositeSecurity(uint32_t handle, LockSlot* slot, uint8_t level);

// Fixes the common range of the components of the composite in slot: its
// field mask (both components' fields), record count (the primary's
// records in the range, never below 0), first and last moments and start
// position. Components without common moments give an empty range.
int32_t ComputeCompositeView(LockSlot* slot);

// Gives back a composite's read state; called for every composite slot
// that is freed or dropped.
void CloseCompositeState(uint32_t handle);

// ZARQ1_GetSecurityLockedStatus: *status 1 locked here (*level the
// slot's), 2 held by others (the lock record's level), for a composite not
// locked itself 3 or 4 when a component is so (its level), else 0.
int32_t GetSecurityLockedStatus(uint32_t handle, uint32_t* status, uint32_t* level);

// ZARQ1_GetLastFailedLockInfo: who held the security whose lock was last
// refused: *count holders at *level; with one holder its application and
// user names (each at most kFailedNameLength characters, from the
// directory's user file), else "no users" or "<n> users" as the user.
inline constexpr int kFailedNameLength = 30;
int32_t GetLastFailedLockInfo(char* application, char* user, uint32_t* count, uint32_t* level);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_COMPOSITE_LOCKING_H_
