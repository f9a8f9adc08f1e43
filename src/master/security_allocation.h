// security_allocation.h: choosing the slot and the data file number of a
// new security.
//
// Slots are handed out in order up to 6000; only then are the slots of
// deleted securities reused, lowest first. File numbers come from the
// header's NextFileNumber while it lies within 1..6000; past that, the
// lowest number no live security uses is searched for.
//
// Thread-safety: callers hold the library lock, and the security list
// header lock (a list change holds it throughout).

#ifndef ZARQ_SRC_MASTER_SECURITY_ALLOCATION_H_
#define ZARQ_SRC_MASTER_SECURITY_ALLOCATION_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

// Chooses a slot and a file number for a new security of directory and
// counts it in *header: SlotCount (unless a slot is reused), LiveCount and
// NextFileNumber change in memory only; the caller writes the header once
// the addition has succeeded. *reused tells that the slot belonged to a
// deleted security, which the caller unlinks before linking the new one.
// ZARQ_E_DIRECTORY_FULL with 6000 live securities (before any search), or
// when no file number or no deleted slot is free; ZARQ_E_OUT_OF_MEMORY;
// read failures. On failure the outputs are 0 and *header is unchanged.
int32_t AllocateSecurity(uint8_t directory, SecurityListHeader* header, uint32_t* file_number,
                         uint32_t* slot, bool* reused);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_ALLOCATION_H_
