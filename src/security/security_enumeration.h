// security_enumeration.h: walking the securities of a directory in list
// order (the chain FirstSlot -> NextSlot ... LastSlot of the security list
// file), skipping records marked deleted, and describing them.
//
// The process remembers the security last returned (CurrentSecurity),
// which the next and previous walks start from when given handle 0. It
// moves only when a call succeeds, and it remembers which opening of a
// directory it belongs to: once that directory is closed, even when its
// number is handed out again, it names nothing (-370).
//
// Results 5 and 6 are successes with news: no live security precedes (5)
// or follows (6) the one returned.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_SECURITY_ENUMERATION_H_
#define ZARQ_SRC_SECURITY_SECURITY_ENUMERATION_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

int32_t GetSecurityInfo(uint32_t handle, ZarqSecurityInfo* info);
int32_t GetFirstSecurityInfo(uint8_t directory, ZarqSecurityInfo* info);
int32_t GetLastSecurityInfo(uint8_t directory, ZarqSecurityInfo* info);
int32_t GetNextSecurityInfo(uint32_t handle, ZarqSecurityInfo* info);
int32_t GetPrevSecurityInfo(uint32_t handle, ZarqSecurityInfo* info);

// The security last returned by a successful walk (0 when none, or when
// its directory has been closed since).
uint32_t CurrentSecurity();

// Forgets it (shutdown).
void ForgetCurrentSecurity();

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_SECURITY_ENUMERATION_H_
