// lock_failure_report.cc: the holders of the last refused lock, in words,
// and the source the frame's messages take them from.
//
// Thread-safety: callers hold the library lock.

#include "src/security/lock_failure_report.h"

#include "include/zarq.h"
#include "src/directory/directory_users.h"
#include "src/frame/messages.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

int32_t FailedLockHolders(uint32_t* holders, std::string* application, std::string* user) {
  uint32_t level = 0;
  return DescribeLastFailedLock(application, user, holders, &level);
}

struct InstallFailedLockSource {
  InstallFailedLockSource() { SetFailedLockSource(&FailedLockHolders); }
} const kInstallFailedLockSource;

}  // namespace

int32_t DescribeLastFailedLock(std::string* application, std::string* user, uint32_t* holders,
                               uint32_t* level) {
  const FailedLock& failed = LastFailedLock();
  *holders = failed.holders;
  *level = failed.level;
  application->clear();
  if (failed.holders == 0) {
    *user = "no users";
  } else if (failed.holders > 1) {
    *user = std::to_string(failed.holders) + " users";
  } else {
    std::string identity;
    size_t colon = std::string::npos;
    if (ReadUserIdentity(failed.directory, failed.holder, &identity) == ZARQ_OK) {
      colon = identity.find(':');
    }
    if (colon == std::string::npos) {
      *user = "unknown user";
    } else {
      *application = identity.substr(0, colon);
      *user = identity.substr(colon + 1);
    }
  }
  return ZARQ_OK;
}

}  // namespace zarq
