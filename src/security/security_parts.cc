// security_parts.cc: the security layer's process part (the lock table,
// allocated at initialisation and freed at shutdown) and the releaser it
// gives the directory layer, which closes directories with locks held.
//
// Thread-safety: runs under the library lock.

#include "src/directory/directory_users.h"
#include "src/frame/process_parts.h"
#include "src/security/lock_table.h"
#include "src/security/security_enumeration.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

void StopSecurityPart() {
  FreeLockTable();
  ForgetCurrentSecurity();
}

const ProcessPartRegistration kLockTablePart({PartOrder::kSecurityLockTable, &AllocateLockTable,
                                              nullptr, &StopSecurityPart});

struct InstallReleaser {
  InstallReleaser() { SetDirectoryLocksReleaser(&UnlockDirectorySlots); }
} const kInstallReleaser;

}  // namespace
}  // namespace zarq
