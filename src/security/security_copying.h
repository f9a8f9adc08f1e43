// security_copying.h: a security duplicated, with its price data and
// optionally its chart files, into another open directory.
//
// The destination changes whole or not at all: every file is written in
// full under a scratch name in the destination folder and put on the disk
// first; only when all of them are complete do they take their names, the
// data file first and the list record (count, dates, field mask, from the
// source as this process holds it locked) written through right after it.
// Until that rename the destination holds its own old files, or the empty
// data file of a security this copy added; scratch files a dying process
// leaves are removed when the last user leaves or the first one comes.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_SECURITY_COPYING_H_
#define ZARQ_SRC_SECURITY_SECURITY_COPYING_H_

#include <cstdint>

namespace zarq {

// ZARQ2_CopySecurity: source's security (held here at ReadLock or more:
// -319, -320) into directory, where it is added, or with replace takes the
// place of the security of its identity (-198 without replace). -193 for a
// composite; -188 when directory is the source's own (the destination
// would be the source itself). The destination's lock failure (-321 while
// anyone, this caller too, holds it). A copy that fails leaves a security
// it added deleted again and one it replaced as it was (unless the data
// file had taken its name already); it never unlocks or deletes what it
// did not lock or add.
int32_t CopySecurity(uint32_t source, uint8_t directory, int32_t charts, uint32_t replace);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_SECURITY_COPYING_H_
