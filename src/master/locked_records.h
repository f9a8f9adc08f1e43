// locked_records.h: what the record store asks of the securities this
// process holds locked.
//
// The security locking layer keeps a working copy of every security the
// process has locked; its data part may hold changes not yet written to the
// security list file. The store reads those copies (to describe a locked
// security as the process sees it, and to take a composite's values from
// its locked components) and keeps their link parts in step when it
// rewrites links in the file. The locking layer sits above this one, so it
// installs its answers here; until it does, no security counts as locked.
//
// Handles are compared as the lock table keeps them: directory number,
// slot and the composite flag of the security's own record.
//
// Thread-safety: callers hold the library lock; the hooks are installed at
// start-up (or by a test) while no call is inside the library.

#ifndef ZARQ_SRC_MASTER_LOCKED_RECORDS_H_
#define ZARQ_SRC_MASTER_LOCKED_RECORDS_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

struct LockedRecordHooks {
  // 0 and a copy of the record of the security this process holds locked
  // under handle; ZARQ_E_NOT_LOCKED when it holds no such lock; another
  // status (ZARQ_E_REGISTRATION_LOST) when it cannot tell.
  int32_t (*locked_record)(uint32_t handle, SecurityRecord* record);
  // Replaces the link part of the working copy held under handle by the
  // link part of record; does nothing for a security not locked here.
  void (*refresh_links)(uint32_t handle, const SecurityRecord& record);
};

// Installs hooks (a null member: the default for it, nothing is locked)
// and returns the ones they replace, for a test to put back.
LockedRecordHooks SetLockedRecordHooks(const LockedRecordHooks& hooks);

// The installed hooks, as the store calls them.
int32_t FetchLockedRecord(uint32_t handle, SecurityRecord* record);
void RefreshLockedLinks(uint32_t handle, const SecurityRecord& record);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_LOCKED_RECORDS_H_
