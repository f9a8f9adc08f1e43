// security_sorting.h: putting a stretch of a directory's list order into
// name order by relinking the security list, without moving any record
// (slots, and so handles, stay what they were).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_SECURITY_SECURITY_SORTING_H_
#define ZARQ_SRC_SECURITY_SECURITY_SORTING_H_

#include <cstdint>

namespace zarq {

// ZARQ2_SortSecurities: the securities from first to last along the list
// (deleted records among them too) are ordered live before deleted, then
// by name without regard to letter case, keeping the list order of equal
// names. The list is read once under its header lock, the new order made
// in memory, and only link parts that change are written, each under its
// record lock: first the forward links from the stretch's end back to its
// start, then the backward links from its start on. A process dying part
// way leaves both walks ending (some securities possibly out of one of
// them, never a cycle); a failed write puts back what was written.
// -124 for handles of two directories; -370, -363; 0 for first = last;
// -191 when last does not follow first; -352 for a chain that loops.
int32_t SortSecurities(uint32_t first, uint32_t last);

}  // namespace zarq

#endif  // ZARQ_SRC_SECURITY_SECURITY_SORTING_H_
