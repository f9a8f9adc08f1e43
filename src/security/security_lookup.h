// security_lookup.h: finding securities: a handle from a security's
// identity (symbol, period, interval, and for a composite its second
// symbol and operator) through the security index file; the handles of a
// directory in list order; counts; and the identity of a handle.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_SECURITY_LOOKUP_H_
#define ZARQ_SRC_SECURITY_SECURITY_LOOKUP_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// ZARQ1_GetSecurityHandle: the symbol as given (letter case counts), the
// period in either case, the interval only for 'I'. The handle's
// composite flag is the entry's. -191 when not found, or when the entry
// found names no slot of the list.
int32_t GetSecurityHandle(const ZarqSecurityId& id, uint32_t* handle);

// GetHandleFromInfo (ordinal 212): the identity taken from info.
int32_t GetHandleFromInfo(uint8_t directory, const ZarqSecurityInfo& info, uint32_t* handle);

// ZARQ2_GetSecurityHandles: up to max handles of live securities in list
// order from start (0: the first; otherwise a handle of this directory,
// else -167). The list is read in one pass under its header lock; a chain
// that loops or leaves the list is -352.
int32_t GetSecurityHandles(uint8_t directory, uint32_t start, uint32_t max, uint32_t* handles,
                           uint32_t* count);

int32_t GetDirNumberFromHandle(uint32_t handle, uint8_t* directory);
int32_t GetSecurityId(uint32_t handle, ZarqSecurityId* id);
int32_t GetSecurityCount(uint8_t directory, uint32_t* count);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_SECURITY_LOOKUP_H_
