// lock_failure_report.h: who held the security whose lock was last
// refused, in words: what ZARQ1_GetLastFailedLockInfo reports and the
// message of a lock conflict names.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_LOCK_FAILURE_REPORT_H_
#define ZARQ_SRC_SECURITY_LOCK_FAILURE_REPORT_H_

#include <cstdint>
#include <string>

namespace zarq {

// The holders of the last refused lock (LastFailedLock): their count, the
// level they held, and as user "no users", "<n> users", the one holder's
// user name with its application, or "unknown user" when the holder's
// record in the directory's user file cannot be read. Always 0.
int32_t DescribeLastFailedLock(std::string* application, std::string* user, uint32_t* holders,
                               uint32_t* level);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_LOCK_FAILURE_REPORT_H_
