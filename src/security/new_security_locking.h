// new_security_locking.h: the lock under which a security is created
// (ZARQ1_AddSecurity): the new slot enters the lock table at FullLock with
// its record built there, and its lock-file record is written with this
// user's mark; a composite's components are held for reading meanwhile.
//
// An addition holds the security list header lock while it creates the
// lock, so it must never wait for a lock-file record whose holder may be
// waiting for that header (a process locking the security of that slot
// holds the record while it loads the security from the list). The
// components are therefore held before the header is taken, and the new
// slot's record is taken without waiting: when another process holds it,
// the addition lets everything go and tries again.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_NEW_SECURITY_LOCKING_H_
#define ZARQ_SRC_SECURITY_NEW_SECURITY_LOCKING_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// The components of a new composite as this process holds them (0 for a
// plain security).
struct ComponentHolds {
  uint32_t primary = 0;
  uint32_t secondary = 0;
};

// For a composite info (else nothing): finds its primary component by the
// info's Symbol and its secondary by Symbol2, each with the info's period
// and interval, and holds both at ReadLock (implicitly). -197 / -196 when
// the primary / secondary does not exist, -225 when both are one security,
// or the failure of a component's lock (-321 while another process
// changes it). On failure nothing is held. Call it before taking the
// security list header lock.
int32_t HoldComponents(uint8_t directory, const ZarqSecurityInfo& info, ComponentHolds* holds);

// Gives up the holds of HoldComponents and clears them; the first failure.
int32_t ReleaseComponents(ComponentHolds* holds);

// Locks the new security of handle at FullLock: its record built from info
// with data file number file_number (and a composite's values from holds),
// the slot held here explicitly, its lock-file record written with only
// this user's mark (without reading the old one: the slot is new) and the
// lock file's record count grown to it. The new slot takes part in the
// holds (kSlotHoldsPrimary, kSlotHoldsSecondary): its unlock ends them.
// -198 when this process holds that slot already; -361; -363; -322;
// validation failures (ValidateSecurityRecord); with *busy set and
// ZARQ_E_RANGE_LOCKED, another process held the lock-file record's range
// at that moment. On failure nothing is left in the table or the file.
int32_t LockNewSecurity(uint32_t handle, const ZarqSecurityInfo& info, uint32_t file_number,
                        const ComponentHolds& holds, bool* busy);

// Takes back LockNewSecurity for an addition that failed: this user's mark
// leaves the lock-file record and the slot is dropped without writing
// anything; the component holds stay with the caller's ComponentHolds.
int32_t DiscardNewSecurity(uint32_t handle);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_NEW_SECURITY_LOCKING_H_
