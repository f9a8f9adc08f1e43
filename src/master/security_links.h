// security_links.h: the chains through the link parts of security
// records: the doubly linked list order (FirstSlot -> NextSlot -> ... ->
// LastSlot, PrevSlot back) and, per component security, the singly linked
// chain of the composites built on it (NextPrimaryUser and
// NextSecondaryUser, starting in the component's own record).
//
// Each change writes only link parts, record by record, under the record
// locks; a change that fails part way writes back the link parts it had
// changed, so the chains are left as they were. Working copies that this
// process holds locked follow every link part written. A chain that does
// not end within 6000 steps (a damaged file) is reported, never followed
// for ever.
//
// Thread-safety: callers hold the library lock and the security list
// header lock, which keeps other processes from changing links meanwhile.

#ifndef ZARQ_SRC_MASTER_SECURITY_LINKS_H_
#define ZARQ_SRC_MASTER_SECURITY_LINKS_H_

#include <cstdint>

#include "src/master/security_record.h"

namespace zarq {

// Enters the new record (its Slot set, not yet written) into the list
// order: before the anchor when the anchor names a live security of this
// directory within SlotCount, otherwise at the end. Sets the new record's
// PrevSlot and NextSlot, writes the neighbours' link parts, keeps FirstSlot
// and LastSlot of *header (in memory), and for a composite appends it to
// its components' chains. On failure the neighbours, *header and the new
// record's links are as before.
int32_t LinkSecurityRecord(uint8_t directory, SecurityListHeader* header, SecurityRecord* record,
                           uint32_t anchor);

// Takes the record of handle out of the list order if it is marked
// Deleted (a live record is left alone, with 0): its neighbours are joined
// and *header's FirstSlot and LastSlot follow (in memory). On failure the
// neighbours and *header are as before.
int32_t UnlinkDeletedRecord(uint32_t handle, SecurityListHeader* header);

// Takes back what LinkSecurityRecord did for record (its links as that
// left them), for an addition that fails before the header counts the new
// record: its neighbours are joined again and a composite leaves its
// components' chains. The caller's in-memory header is simply dropped.
int32_t UnlinkNewRecord(uint8_t directory, const SecurityRecord& record);

// Takes back UnlinkDeletedRecord of record (as it was read before): its
// neighbours point at it again.
int32_t RelinkDeletedRecord(uint8_t directory, const SecurityRecord& record);

// Appends the composite to the chains of its primary and secondary
// components (no change for a chain that holds it already). On failure
// neither chain is changed.
int32_t AddCompositeUser(uint8_t directory, const SecurityRecord& composite);

// Splices the composite out of its components' chains; nothing for a
// record that is not a composite. The composite's own links are read from
// the file, since a caller's copy may predate another process's addition.
// On failure neither chain is changed.
int32_t RemoveCompositeUser(uint8_t directory, const SecurityRecord& composite);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_LINKS_H_
